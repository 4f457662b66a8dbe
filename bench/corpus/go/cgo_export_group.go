// cgo exports the function named after "//export " only; a tab there
// exports nothing (nor could it: F takes a struct)
package main

import ("fmt"; "C")

//export	F
func F(x struct{ a int }) int { return x.a }

func main() {
	fmt.Println(F(struct{ a int }{3}))
}
