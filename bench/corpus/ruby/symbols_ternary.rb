# symbols with quotes, ternaries, and hashes written with quoted keys
h = { "a  b": 1, 'c  d': 2 }
k = :"quoted   symbol"
x = h.size > 1 ? "many   keys" : "few"
y = h.empty? ? 'none' : 'some   keys'
z = x.length>3 ?x:y
puts [h, k, x, y, z].inspect
puts "[#{'interpolated   #{not}'}]   [#{"inner  #{"deep   er"}"}]"
