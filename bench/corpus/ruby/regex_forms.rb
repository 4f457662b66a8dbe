# regular expressions after operators and method names; division after terms
s = "a  b  c"
p1 = s.split(/  /)
p2 = s.gsub /b  c/, "   B"
p3 = s.scan(%r{  c})
n = (10) / 2 / 5
ok = s =~ /a  b/ && true
puts [p1, p2, p3, n, ok].inspect
t = "after   regexes  	"
puts "[#{t}]"
