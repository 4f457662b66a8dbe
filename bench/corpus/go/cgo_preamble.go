// cgo compiles the comment right before import "C" as C: the blanks in its
// strings are the C program's
package main

/*
#include <string.h>
static const char *spaced = "a    b	 c";
static int width(void) { return (int)strlen(spaced); }
static const char *text(void) { return spaced; }
*/
import "C"

import "fmt"

func main() {
	/* a  Go  comment */
	fmt.Println(C.width(), C.GoString(C.text()), "go    side")
}
