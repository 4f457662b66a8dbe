// keywords used as property names end a term: division follows
const o = { in: 8, return: 6, typeof: 4, of: 2, if: 10 };
const h = o.in / 2, s = "a  /  b";
const r = o.return / 3, u = 'c   /   d';
const k = o.typeof / o.of, v = "e  /  f	";
const w = this?.x ?? o.if / 5, z = "g   /  h";
console.log(JSON.stringify([h, s, r, u, k, v, w, z]));
