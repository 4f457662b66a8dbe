// interpolation, multi-line strings and raw strings with hashes
let a = "double   quoted	"
let b = "interp   \(a.count)   \("inner   q")"
let c = """
    multi   line   
      indented
    """
let d = #"raw   "quoted"  \(not)"#
let e = ##"two "# hashes   "##
print("[\(a)] [\(b)] [\(c)] [\(d)] [\(e)]  after   all")
func greet(_ name: String) -> String {
    let pad = "pad   ded  \t"
    if name.isEmpty {
        return """
            empty   name  
              indented
            """
    }
    return "hello   \(name)" + pad
}
print(greet(""), greet("x   y"))
