#!/bin/sh
# a POSIX script: printf with tabs, a function, a here-document in a function
show() {
	printf '%s|\n' "$1"
	cat <<-END
		in   function   
	END
}
show "arg   one	"
show 'arg   two  '
