#!/usr/bin/perl
# names that are quote operators elsewhere: hash keys, fat commas, methods, filetests
use strict;
use warnings;

my %h = (q => 'one   1', s => "two   2", y => 'three  3', tr => 'four   4', m => 5);
my $k = $h{q} . '|' . $h{s};  my $t = "after  q  key";
my $y = $h{y};                 my $u = "after   y  key";
my $size = -s $0;              my $v = "after  filetest  s";
my $r = { qq => 'x   y' };
print "[$k] [$t] [$y] [$u] [", ($size > 0 ? "size  ok" : "none"), "] [$v] [$r->{qq}]\n";
my $z = 7 % 3;  my $w = "mod   then  string";
print "[$z] [$w]\n";
