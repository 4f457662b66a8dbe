# % with a blank or a line end for its delimiter, where an expression starts
x = %	a  b	
y = [% c		d , %Q	e  #{1 + 1}	]
z = [%
	f  g	
]
w = 7
v = w % 3
p x, y, z, v
if true
	u  = 1
	p u
end
