#!/usr/bin/perl
# defined-or after a term is an operator, twice on a line and in an assignment
use strict;
use warnings;

my ($x, %h);
my $n   = $x // 0;    my $m = $x // 'none';
$h{k} //= 1;
my $msg = "after:   two  blanks	tab  ";
my $two = "lines
    indented  inside	
  end";
print "[$n] [$m] [$h{k}]\n[$msg]\n[$two]\n";
my $w = 'one / two  /  three';
print "[$w]\n";
