// text between tags is JSX text, kept as it is; an apostrophe in it opens nothing
const name = "n";
export const A = () => (
  <div className="a   b">
    <p>a    b</p>
    <p>Don't   stop   here</p>
    <span title='it  "s'>{name}   text  {"braces   in"}</span>
    <pre>
      pre   formatted	
    </pre>
  </div>
);
const s = 'after   the  jsx';
