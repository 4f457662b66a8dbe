#!/usr/bin/perl
# slashes: division after terms, patterns after operators and functions
use strict;
use warnings;

my $v = 10;
my $d = $v / 2 / 5;     my $s = "div   div";
my @p = split /,\s*/, "a,  b,   c";
my @q = grep { /  x/ } ("a  x", "b");
my $m = ("a  b" =~ /a  b/) ? "match   yes" : "no";
my $e = join "|", map { $_ / 2 } 4, 6;
my $f = (1) ? "ternary  ok" : /never/;
print "[$d] [$s] [@p] [@q] [$m] [$e] [$f]\n";
my $tail = "end   of  file  	";
print "[$tail]\n";
