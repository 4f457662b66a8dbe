# After an operand % is modulo, and q{...} after it a string.
my $x = 7;
my $y = $x %qq{2	  };
if (1) {
	print  "$y\t  done\n";
}
