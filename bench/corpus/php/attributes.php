<?php
// #[ opens an attribute, not a comment; <<<"ID" heredocs; short echo tags
#[Attribute]
class Note { public function __construct(public string $text = "") {} }

#[Note("attribute   argument  	")]
function f() { return "after   the  attribute"; }

$r = new ReflectionFunction('f');
$arg = $r->getAttributes()[0]->getArguments()[0];
$h = <<<"QUOTED"
    quoted   heredoc   
      indented
    QUOTED;
$arr = ['k  k' => 'v   v'];
$i = "complex {$arr['k  k']}   interpolation";
echo "[$arg] [" . f() . "] [$h] [$i]\n";
?>
<?= "short   echo  " ?>   after   tag
