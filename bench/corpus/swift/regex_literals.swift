// An extended regular expression #/.../# keeps its blanks.
let r = #/a	  "b/#
if true {
		let  z = 1
		print(r, z, "e	  f")
}
