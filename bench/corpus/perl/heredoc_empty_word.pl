# <<"" ends at the first empty line.
my $s = <<"";
	body	  one
		body  two

if (1) {
	print  $s, "after	  it\n";
}
