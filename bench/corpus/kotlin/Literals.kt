// strings whose templates hold code, raw strings, characters
fun main() {
    val a = "double   quoted	"
    val b = "template   ${a.length}  ${"inner   quote"}"
    val c = """raw   "quoted"
        second   line   
    """
    val d = '"'
    val e = '\''
    val f = "after   the  chars  "
    println("[$a] [$b] [$c] [$d] [$e] [$f]")
}
