<html>   text  outside   php	
<?php
// a comment that ends at ?> and text   after it is output ?>   shown   text
<?php
$a = 'single   quoted	';
$b = "double   $a  ";
$c = <<<EOT
  heredoc   $a   
	tab line
EOT;
$d = <<<'NOW'
  nowdoc   $a
NOW;
$e = "spans
    lines   here";
# hash comment with a quote '
$f = '?>   not   the end';
echo "[$a] [$b] [$c] [$d] [$e] [$f]\n";
$g = 10 / 2; $h = "after   division";
echo "[$g] [$h]\n";
?>
  trailing   html   
