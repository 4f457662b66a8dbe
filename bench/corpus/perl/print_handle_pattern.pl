# After print's filehandle a / that a byte follows opens a pattern.
my $fh = \*STDOUT;
$_ = "a	  b";
print $fh /a	  b/ ? "yes\n" : "no\n";
my $h = 8;
if ($h) {
	print  $h / 2, "\t  done\n";
}
