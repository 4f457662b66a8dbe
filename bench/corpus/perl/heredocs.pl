#!/usr/bin/perl
# here-documents of every form, several on a line, with blanks at both ends of their lines
use strict;
use warnings;

my $name = "n";
print <<"DQ", <<'SQ';
  double   $name	
    indented    
DQ
  single   $name	
	tab-indented   
SQ
print <<BARE;
bare   word   heredoc
   	mixed
BARE
print <<~INDENTED;
    indented   heredoc
      keeps  two
    INDENTED
print << "SPACED";
  spaced   opener
SPACED
my $x = 1 << 3;   my $y = "shift  not  heredoc";
print "[$x] [$y]\n";
