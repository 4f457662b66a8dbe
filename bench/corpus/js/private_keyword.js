// A keyword after # is a private name: what follows it divides.
class A {
  #return = 8;
  m(b) { return this.#return / 2 + "a/		+ 'q' + b"; }
}
console.log(JSON.stringify(new A().m(1)));
let	z	=	1;
