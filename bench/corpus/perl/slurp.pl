#!/usr/bin/perl
# local $/ (the slurp idiom) and the other punctuation variables that end in a quote or slash
use strict;
use warnings;

my $text = do { local $/;  "slurped   text" };
my $sep  = $/ eq "\n" ? "nl  " : "other  ";
my $pre  = "a-b" =~ /-/ ? $` . "  |  " . $' : '';
print "[$text] [$sep] [$pre]\n";
my $after = "  space  	 and tab  ";
print "[$after]\n";
local $" = '   ';
my @l = ('x', 'y');
print "[@l]\n";
my $last = 'a  /  b';
print "[$last]\n";
