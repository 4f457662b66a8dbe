#!/usr/bin/perl
# s### and other quote-like operators with # as delimiter are not comments
use strict;
use warnings;

my $p = "a/b/c";
(my $q = $p) =~ s#/#  |  #g;
my $t = "x  y";
$t =~ tr#x#z#;
my @w = qw#one   two#;
print "[$q] [$t] [@w]\n";
my $u = "after   the  hash  	 ";
print "[$u]\n";
