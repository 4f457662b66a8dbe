<?php
$a  = "x	  y";
echo "[$a]\n";
echo strlen(file_get_contents(__FILE__, false, null, __COMPILER_HALT_OFFSET__)), "\n";
__HALT_compiler /* c */ (
) # d
;  raw	  data "
	with  $blanks	 
