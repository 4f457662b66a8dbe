// in a script (not a module) <!-- and a --> at the start of a line open comments
let x = 1 <!-- this is a comment " ' `
--> so is this " '
const s = "after   html  comments";
const t = 'second   string  	';
console.log(JSON.stringify([x, s, t]));
