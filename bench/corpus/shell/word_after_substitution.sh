#!/bin/bash
# $[ ] is the old arithmetic, where << shifts; after $( ) or $(( )) a # goes
# on with the word.
e=$[1<<2 ]
s="a
2
	b	  c"
t=$(echo x)#"y	  z"
u=$((1 + 1))#'p		q'
printf '%s|' "$e" "$s" "$t" "$u"
if true; then
		echo  "	done"
fi
