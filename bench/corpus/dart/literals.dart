// single, double, triple and raw strings, interpolation holding code
void main() {
  if (true) {
      print('deep   indent  ');
  }
  var a = 'single   quoted	';
  var b = "double   ${a.length}  ${'inner   q'}";
  var c = '''triple
      single   quotes   
  end''';
  var d = """triple   "double"
  """;
  var e = r'raw   $a  \n';
  var f = "after   the  raw  ";
  print('[$a] [$b] [$c] [$d] [$e] [$f]');
}
