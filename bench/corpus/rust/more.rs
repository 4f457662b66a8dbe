//! Inner   doc  comment
//!    indented   line
/*! inner   block  doc */
/** Outer   block  doc
 *    indented   */
#[derive(Debug)]
struct S;

fn main() {
    let r#type = "raw   identifier";
    let r#match = 2 / 1; let t = "after   raw  idents";
    let x = 'x'; let y = "after   char";
    println!("[{}] [{}] [{}] [{}] [{}] [{:?}]", r#type, r#match, t, x, y, S);
}
