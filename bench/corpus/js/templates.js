// template literals nest code that holds literals of its own
const a = "inner   a";
const t1 = `outer   ${ `nested   ${a}  ` }  	`;
const t2 = `multi
    line   template   
  end ${ { k: "obj   v" }.k }`;
const t3 = `braces ${ "}" }   after  `;
const t4 = String.raw`raw   \n  ${"x"}`;
const t5 = `// not   a comment /* nor  this */`;
console.log(JSON.stringify([t1, t2, t3, t4, t5]));
