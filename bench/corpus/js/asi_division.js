// a slash at the start of a line continues the expression: no semicolon is inserted
const g = 2, hi = 8
let q = hi
/ 2; const s = "a / b   c"; const t = 'd   e'
let p = (hi)
/ g / 1
console.log(JSON.stringify([q, s, t, p, "after   asi  "]))
