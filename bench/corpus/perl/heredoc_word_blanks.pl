# A here-document's quoted word may hold blanks: it ends at a line of the
# same blanks and word. <FH> is a term, after which // is defined-or.
my $s = <<"    EOT";
	body	  a
    EOT
my $t = <DATA> // 'none	  x';
if ($s) {
	print  $s, $t, "\t  done\n";
}
__DATA__
	data	  line
