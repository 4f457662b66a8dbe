#!/bin/bash
# $'...' with an escaped quote, a here-document inside $( ), an escaped quote in a word
a=$'it\'s   dollar  single'
b=it\'s   c="after   escaped  quote"
d=$(cat <<EOT
  inside   substitution   
	tab
EOT
)
e="$(cat <<'EOT'
  quoted   inside   "$x"
EOT
)"
printf '[%s]\n' "$a" "$b" "$c" "$d" "$e"
