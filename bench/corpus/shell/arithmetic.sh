#!/bin/bash
# arithmetic: << is a shift, not a here-document; $(( )) is not a subshell
x=$(( 2 << 1 ))
(( y = x << 2 ))
z=$((x/2))   w="after   arithmetic  "
echo "[$x] [$y] [$z] [$w]"
if (( x < 5 )); then echo "small   one"; else echo "big   one"; fi
k=$(( (x + 1) * 2 ))
echo "[$k]  [paren   arith]"
