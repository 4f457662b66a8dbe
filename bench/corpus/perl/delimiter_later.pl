# Quote-like operators whose delimiter comes on a later line
use strict;
use warnings;

my $s = qq
	{a    b	 c};
my $t = q # why
  # and more
	{d	  e};
my %h = (q
	=> 1, x  => 2);
my $u = "xa";
$u =~ s
	/a/b	  c/;
my $w = "aa";
$w =~ y
	/a/b/;
print "[$s] [$t] [$h{q}] [$u] [$w]\n";
