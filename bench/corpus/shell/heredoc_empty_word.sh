#!/bin/bash
# <<"" ends at the first empty line.
cat <<""
	body	  one
		body  two

if true; then
		echo  "after	  it"
fi
