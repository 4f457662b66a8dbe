// go generate runs the lines that start //go:generate, in a block comment too
package main

import "fmt"

/*
//go:generate echo "a    b	  c"
*/
func main() {
	fmt.Println("x    y")
}
