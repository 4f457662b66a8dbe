# <<'' ends at the first empty line; <<~E"..." is the word E and a string.
s = <<''
	body	  one
		body  two

t = <<~E"	 tail	"
	squiggly	  three
	E
if true
		puts  s, t, "after	  it"
end
