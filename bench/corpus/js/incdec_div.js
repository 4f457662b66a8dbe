// a++ and a-- end a term: the slash after them divides
let a = 4, b = 9;
let c = a++ / 2; let s1 = "x  /  y";
let d = b-- / 3; let s2 = 'p   /   q	';
const t = `after   the  divisions  `;
console.log(JSON.stringify([c, d, s1, s2, t]));
