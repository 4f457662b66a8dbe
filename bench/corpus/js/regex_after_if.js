// a slash right after the ) of if, while or for starts a regular expression
const s = 'a   "  b';
let r = "none";
if (s) /a   "/.test(s) && (r = "matched   one");
while (false) /x  '/.test(s);
for (const m of /(a)   "/.exec(s)) r += ` [${m}]  `;
console.log(JSON.stringify([r, "after   the  loops"]));
