# percent literals with any delimiter; % as an operator
a = %q(paren   (nested)   quoted)
b = %Q[square   [nested]  #{1}]
c = %w{  one    two  }
d = %i<sym   bols>
e = %r!a   b!
f = %(bare   percent	)
g = %x(echo "shell   out")
h = %s|sym   bol|
m = 7 % 3
k = 8 %(3)
puts [a, b, c, d, e.source, f, g, h, m, k].inspect
puts %|bar   delimiters  |
s = "after   percent  literals  "
puts "[#{s}]"
