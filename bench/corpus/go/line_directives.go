// //line and /*line rename the file that the runtime reports
package main

import (
	"fmt"
	"runtime"
)

func main() {
//line a    b.go:10
	_, file, line, _ := runtime.Caller(0)
	fmt.Println(file, line)
	/*line c    d.go:20:1*/ _, file, line, _ = runtime.Caller(0)
	fmt.Println(file, line)
}
