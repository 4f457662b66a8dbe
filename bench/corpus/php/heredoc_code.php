<?php
const EOT = 'k';
$x = ['k' => "v  v", 'EOT' => 'w'];
$s = <<<EOT
	a {$x[
EOT
]}	  b ${x[
'EOT'
]}
EOT;
var_dump($s);
	$y  =  1;
$t = <<<'EOT'
	{$x[
	EOT;
var_dump($t);
	$z  =  "c	  d";
var_dump($z);
