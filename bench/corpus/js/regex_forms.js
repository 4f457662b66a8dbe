// regular expressions where an expression may start, classes holding slashes and quotes
const s = "a  /  b ' c";
const r1 = s.split(/  \/  /);
const r2 = /[/"']   x/.test(s);
const r3 = s.replace(/'/g, "   quote ");
const r4 = typeof /  re/;
function f() { return /  ret   /.source; }
const r5 = [/a  b/, /c  d/].map((x) => x.source);
const r6 = !/x   y/.test(s);
console.log(JSON.stringify([r1, r2, r3, r4, f(), r5, r6, "after   regexes"]));
