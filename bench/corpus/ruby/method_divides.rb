# After a method's name that follows a dot, a blank, / and a blank divide;
# / right before a byte opens a regular expression, the method's argument.
x = "abcd"
y = x.size / 2 + "a/		+ 'q' + b".size
g = %w[a b].grep /a	  |b/
if true
		p  y, g, "c	  d"
end
