// The C code may stand before an import that has a comment of its own
package main

// #include <string.h>
// static const char *s = "a    b	  c";
// static const char *get(void) { return s; }
import /* the C side */ "C"

import "fmt"

func main() {
	fmt.Printf("%q\n", C.GoString(C.get()))
}
