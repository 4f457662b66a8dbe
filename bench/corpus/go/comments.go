// comment markers inside strings, and strings that look like comments
package main

import "fmt"

func main() {
	a := "a /* not   a comment"
	b := `c */   still  raw`
	c := "// nor   this"
	/* a real comment with a quote " and ` */
	d := "after   comments  	"
	fmt.Printf("[%s] [%s] [%s] [%s]\n", a, b, c, d)
}
