#!/bin/bash
# substitutions nested in strings nested in substitutions
a="$(echo "inner   $(echo 'deepest   one') ")"
b="$(printf '%s' ")   paren in string")"
c="${a/inner/  replaced  }"
d="$(echo "# not   a comment")"
e=$(echo a\)b)   f="after   escaped  paren"
echo "[$a] [$b] [$c] [$d] [$e] [$f]"
g='it'"'"'s   quoted'
echo "[$g]"
