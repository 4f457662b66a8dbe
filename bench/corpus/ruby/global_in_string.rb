# #$" puts Ruby's $" in a string: its quote closes nothing.
x = "a#$" b	  c"
y = "#$/ d	  e"
if true
		p  x.size > 5, y.end_with?("d	  e"), "f	  g"
end
