// TSX: generics and text between tags
type P = { label: string };
function id<T>(x: T): T { return x; }
export const B = (p: P) => (
  <section>
    <h1>Title   with  blanks</h1>
    <p>It's   {p.label}   here's  more</p>
    {id<string>("generic   call")}
  </section>
);
const s: string = "after   the  tsx  ";
