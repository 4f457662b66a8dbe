#!/usr/bin/perl
# local $/ and then a slash inside a later string: a pattern opened at $/ would close there
use strict;
use warnings;

my $all  = do { local $/; "whole   file" };
my $path = "dir/name";
my $msg  = "two   blanks	and  a tab";
my $more = 'single   quoted  ';
print "[$all] [$path] [$msg] [$more]\n";
