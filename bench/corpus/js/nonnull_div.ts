// TypeScript: a non-null assertion ends a term, so / divides
const m: Map<string, number> = new Map([["k", 8]]);
const x = m.get("k")! / 2; const s = "a  /  b";
const y = (m.get("k") as number) / 4, t = 'c   /  d';
const z = <number>m.get("k") / 8; const u = "e   f	";
let v: Array<Array<number>> = [[1]];
console.log(JSON.stringify([x, s, y, t, z, u, v]));
