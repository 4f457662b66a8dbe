// a build script in Kotlin
val note = "build   script  	"
tasks.register("show") {
    doLast { println("[$note] [${"nested   x"}]") }
}
