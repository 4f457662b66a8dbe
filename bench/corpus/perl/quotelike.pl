#!/usr/bin/perl
# every quote-like operator with unusual delimiters, brackets nesting
use strict;
use warnings;

my $a1 = q~tilde   quoted~;
my $a2 = qq:colon   quoted	:;
my $a3 = q<angle   <nested>   quoted>;
my $a4 = q{brace   {nested}   quoted};
my $a5 = qq[square   [nested]   quoted];
my $a6 = q(paren   (nested)   quoted);
my $a7 = q!bang   quoted!;
my $a8 = q|bar   quoted|;
my $a9 = q,comma   quoted,;
my $b1 = qq^caret   quoted^;
my $b2 = q'single   quoted';
my $b3 = qq"double   quoted";
print "[$a1]\n[$a2]\n[$a3]\n[$a4]\n[$a5]\n[$a6]\n[$a7]\n[$a8]\n[$a9]\n[$b1]\n[$b2]\n[$b3]\n";
my @w = qw{  alpha    beta  };
my $re = qr{a   b}x;
my $m1 = "ab" =~ m?a   b?x ? "matched  once" : "no";
my $m2 = "a  b" =~ m{a  b} ? "braces   ok" : "no";
(my $s = "a  b") =~ s{a  b}{c   d};
(my $y = "abc") =~ y/a-c/A-C/;
my $t = "x y";
$t =~ tr[ ][_];
print "[@w] [$re] [$m1] [$m2] [$s] [$y] [$t]\n";
my $multi = q{first
    second   line	
  third};
print "[$multi]\n";
