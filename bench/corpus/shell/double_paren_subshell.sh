#!/bin/bash
# $(( whose first ( closes alone is a subshell inside $( ): a here-document
# may follow it; $(( )) that closes with )) is arithmetic, where << shifts.
a=$((echo "x	  y") | cat)
h=$((cat) <<EOF
	h	  i
EOF
)
d=$(( (1) << 2 ))
e=$((echo "m		n";echo 'o	p') )
printf '%s|' "$a" "$h" "$d" "$e"
echo	"	done"
if true; then
		echo  "$d"   end
fi
