# After print's filehandle ($fh, {$fh}) << opens a here-document; after
# another term it shifts.
my $fh = \*STDOUT;
print $fh <<EOF;
	body	  a
EOF
print {$fh} <<"EOT";
	body	  b
EOT
my $s = 1 << 2;
if ($s) {
	print  "$s\t  done\n";
}
