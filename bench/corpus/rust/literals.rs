// raw strings with hashes, lifetimes beside character literals, nested comments
/// A doc comment   with  blanks
fn pick<'a>(x: &'a str, _y: &'a str) -> &'a str { x }

/* outer /* nested " */ still   a comment ' */
fn main() {
    let a = r#"raw   "quoted"  	"#;
    let b = r##"two "# hashes   "##;
    let c = "spans
    lines   here   
	tab";
    let d = b'\'';
    let e = '"';
    let f = b"byte   string";
    let g = pick("lifetime   'a", "x");
    let h = "continued \
        string   keeps  inner";
    let i = c"c   string";
    let j: &'static str = "static   'life";
    println!("[{a}] [{b}] [{c}] [{d}] [{e}] [{:?}] [{g}] [{h}] [{:?}] [{j}]", f, i);
}
