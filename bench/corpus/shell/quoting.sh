#!/bin/bash
# quotes of every kind, escaped blanks, # inside words
a='single   quoted	'
b="double   $a  "
c=$'dollar   single\t  '
d=escaped\ \ \ blanks
e=a#not#comment   # a comment "with a quote
f=${a#*  }
g=${#a}   # length, then a comment 'quote
h="${a:-"default   inner"}"
i=`echo "back   ticks"`
j="multi
    line   string	
  end"
printf '[%s]\n' "$a" "$b" "$c" "$d" "$e" "$f" "$g" "$h" "$i" "$j"
