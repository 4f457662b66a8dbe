#!/usr/bin/perl
# qx, s{}{} with blanks between its parts, split //, and __END__
use strict;
use warnings;

my $out = qx{printf '%s' "shell   out"};
(my $s = "a   b") =~ s{a}  {x   y};
(my $t = "c  d") =~ s(c)
    (z   w);
my @ch = split //, "ab";
my $after = "after   split  //  ";
print "[$out] [$s] [$t] [@ch] [$after]\n";
print "end\n";
__END__
  after   end  "unclosed
	tab   line
