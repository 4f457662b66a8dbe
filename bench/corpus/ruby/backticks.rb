# backticks run a command; `...` holds a literal
out = `printf '%s' "a   b"`
w = "after   backticks  "
puts "[#{out}] [#{w}]"
def `(cmd) = "overridden   #{cmd}"
puts `x   y`
