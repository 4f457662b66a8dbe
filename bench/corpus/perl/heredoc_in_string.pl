# a here-document opened inside a string's "@{[ ... ]}": its body begins on
# the next line, after the string
use strict;
use warnings;

my @words = ("a", "b");
print "list: @{[ join(',', @words) ]}  <<NOT a here-document\n";
print "x @{[ <<EOT ]} y\n";
	  indented    body	 kept
EOT
print "${\ scalar(@words)}    items\n";
