#!/usr/bin/perl
use strict;
use warnings;

print "before   pod\n";

=pod

  Some    pod	text "with an unclosed quote

=cut

my $s = "between   pod  and  data  ";
print "[$s]\n";
print while <DATA>;
__DATA__
  data   line  	 one
	data   line two   
