// yield, await and of name variables outside generators, async functions
// and for (... of ...): what follows them there divides.
var await = 4, yield = 8, of = 2;
const a = await / 2 + "a/		+ 'q' + b";
const b = yield / 2 + "c/		+ 'q' + d";
const c = of / 2 + "e/		+ 'q' + f";
console.log(JSON.stringify([a, b, c]));
let	z	=	1;
function* gen() { yield /a	  "b/.source; }
async function f() { return await /c	  'd/.source; }
f().then(v => console.log(JSON.stringify([[...gen()], v])));
