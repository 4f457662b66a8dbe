# %W and %I interpolate; a method name then a slash with no blank after it opens a pattern
n = 1
a = %W[one   #{n}   two]
b = %I(x   y#{n})
p(/a  b/.source)
c = "ab" =~ /a  b|b/
d = "after   the  pattern  	"
puts [a, b, c, d].inspect
