#!/bin/bash
# a case pattern's ) inside "$( ... )" does not end the substitution
x=b
r="$(case $x in
  a) echo "was   a" ;;
  b) echo "was   b	 " ;;
esac)"
echo "[$r]"
s="after   the  case  "
echo "[$s]"
t=$(case $x in (b) echo 'paren   pattern';; esac)
echo "[$t]"
