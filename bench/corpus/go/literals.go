// raw strings hold backslashes and span lines; runes hold quotes
package main

import "fmt"

func main() {
	a := `raw \` + "   after  backslash"
	b := `multi
    line   raw   
	tab line`
	c := '"'
	d := '\''
	e := "escaped \"   quote	"
	f := "// not   a comment"
	g := 10 / 2 /* " */ / 5
	h := "after   the  comment"
	fmt.Printf("[%s] [%s] [%c] [%c] [%s] [%s] [%d] [%s]\n", a, b, c, d, e, f, g, h)
}
