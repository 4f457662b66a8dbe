// a quote in a comment opens nothing: don't, "isn't
/* a block comment's quote ' and "
   spans   lines */
const a = "after   comments  ";
const b = 'x' /* ' */ + "  y   " // '
const c = 1 /* / */ / 2; const d = "slash   comment";
console.log(JSON.stringify([a, b, c, d]));
