// Scala: triple quotes and interpolators
object Literals {
  def main(args: Array[String]): Unit = {
    val n = 1
    val a = s"interp   $n   ${"inner   q"}"
    val b = """triple   "quoted"
        |second   line   """.stripMargin
    val c = "plain   c"
    println(s"[$a] [$b] [$c]    after   all")
  }
}
