#!/usr/bin/perl
# a format's picture lines are printed as they stand, blanks and all
use strict;
use warnings;

our ($name, $n) = ("alpha", 42);
format STDOUT =
@<<<<<<<<   @>>>>   |  fixed   text  	|
$name,      $n
    indented   picture  line
.
write;
my $s = "after   the  format";
print "[$s]\n";
