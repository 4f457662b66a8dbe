unset a
echo "[${a:-"}"}]" [${a:-"}  x	 y"}] [${a:-'}  z	'}]
b="c	  d"
echo "$b"
if true; then
	echo  "$b"  x
fi
