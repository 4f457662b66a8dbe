<?php
function f(...$a) { return $a; }
$a = f(<<<EOT
	  body
	EOT, "x
	  y  z", 1);
var_dump($a);
	$b = f(<<<EOT
        b
      EOT, <<<EOU
	c		d  
	EOU);
var_dump($b);
