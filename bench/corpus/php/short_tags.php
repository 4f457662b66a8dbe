<?xml version="1.0"	  encoding="UTF-8"?>
<root>
<? this  is	text where short_open_tag is off ?>
<?php
	$a  = "x";
	echo  "<item>$a</item>\n";
?>
	  <item>  </item>
</root>
