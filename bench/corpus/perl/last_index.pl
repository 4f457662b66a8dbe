#!/usr/bin/perl
# $#a is the last index, not a comment; division after it
use strict;
use warnings;

my @a   = (1 .. 9);
my $mid = $#a / 2;   my $q = "  quoted  /  slash  ";
my $r   = $#{[1, 2, 3]} / 2;
print "[$mid] [$q] [$r]\n";
my $s = "later   string	with a tab
      and an indented line  ";
print "[$s]\n";
