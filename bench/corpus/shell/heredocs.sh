#!/bin/bash
# here-documents: <<- strips tabs only, quoted words keep $, several on a line
v=value
cat <<EOF1
  plain   $v   
	tab   first
EOF1
cat <<-EOF2
		stripped   tabs   
	  tab then  spaces
	EOF2
cat <<'EOF3'
  quoted   $v	
EOF3
cat <<"EOF4" ; cat <<\EOF5
  double   quoted  $v
EOF4
  backslash   word   
EOF5
{ cat <&3; cat; } 3<<A <<B
a1   x
a2   y
A
b1   z
b2   w
B
n=$(( 1 << 3 ))
echo "[$n]  [shift   in  arithmetic]"
