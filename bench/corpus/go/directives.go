// go generate reads the quoted words of its directive as they are
package main

import "fmt"

//go:generate echo "a    b  	c"
//   an  ordinary  comment, converted
func main() {
	fmt.Println("x    y")
}
