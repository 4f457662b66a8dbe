#!/usr/bin/perl
# division after a constant and after a function that takes no arguments
use strict;
use warnings;
use constant PI => 3.14159;

my $half = PI / 2;   my $s1 = "pi  /  two";
my $min  = int(time / 60) > 0 ? "minutes   ok" : "no";
print "[$s1] [$min] [", ($half > 1 ? "half  ok" : "bad"), "]\n";
my $s2 = 'slash / in   a string /';
print "[$s2]\n";
