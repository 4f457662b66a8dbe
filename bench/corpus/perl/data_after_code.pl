# __DATA__ ends the program wherever a statement may stand: indented, or
# after code on its line (the rest of that line is skipped); as a hash's key
# it is a string.
my %h = (__END__ => "k	  v");
print $h{ __END__ }, "|", "a	  b", "\n";
if (1) {
	print  "c	  d\n";
}
	print <DATA>; __DATA__ the rest of this line is skipped
	data	  line	one
		data  line  two
