# ?c character literals: a quote or a hash after ? opens nothing
q1 = ?'
q2 = ?"
h  = ?#
sp = ?\s
a  = [q1, q2, h, sp]
s1 = "after   char  literals	"
s2 = 'single   quoted  '
puts a.inspect, "[#{s1}]", "[#{s2}]"
t = true ? 'yes   y' : 'no   n'
u = t ?'x':'y'
puts "[#{t}] [#{u}]"
