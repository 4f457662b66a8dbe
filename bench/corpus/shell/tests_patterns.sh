#!/bin/bash
# [[ ]] patterns and regexes with escaped blanks, case with quoted patterns
s="a   b"
if [[ $s == a\ \ \ b ]]; then echo "match   one"; fi
if [[ $s =~ ^a\ +b$ ]]; then echo "regex   two"; fi
case "$s" in
  "a   b") echo "quoted   pattern" ;;
  *) echo "other   pattern" ;;
esac
case $s in a*b) echo 'glob   match'; esac
