# The old package separator: $main'v is $main::v, isn't a sub's name; after
# a function's name a quote opens a string (lc'ABC').
use strict;
no strict 'refs';
our $v = 2;
our @w = (1, 2, 3);
sub isn't { return "no	 " . $_[0] }
my $q = $main'v . "	'  ";
my $r = "c	  d";
my $c = scalar(@main'w) . "	'	";
my $a = isn't(1, 'x	  y');
my $b = "p		q";
print join("|", $q, $r, $c, $a, $b, lc'A	 B'), "\n";
my  $y	=	1;
print "$y	done\n";
