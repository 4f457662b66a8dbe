# a local variable followed by a blank and /: division, not a pattern
width = 10
half  = width /2
third = width / 3
s = "after   division	 / "
puts "[#{half}] [#{third}] [#{s}]"
m = "a  b" =~ / b/ ? "pattern   ok" : "no"
puts "[#{m}]  [#{'one / two   three'}]"
