# $/ and the other globals that end in a punctuation mark
line = "text   with  blanks\n"
line = line.chomp($/)
s = "after   dollar  slash  "
"a-b" =~ /-/
pre = $` + "  |  " + $'
puts "[#{line}] [#{s}] [#{pre}]"
r = "x  y".split($;)
puts "[#{r.inspect}]  [#{"nested   #{'inner  quote'}"}]"
