// Each language's literals, through the tool in every style: a table of the
// forms each lexer knows, a randomized comparison of the leaping lexer with
// the plain one, and generated programs whose literals must come out as they
// went in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kinds.hpp"
#include "lexer.hpp"
#include "run_tool.hpp"

using namespace morek;

namespace {

const std::vector<std::vector<std::string>> styles = {
    {"8", "4"}, {"4", "8"}, {"--spaces", "4"}, {"--indent-only", "4", "4"}, {"--indent-only", "--spaces", "2"}, {"-t", "4", "2"},
};

std::string convert(const std::string& lang, const std::vector<std::string>& style, const std::string& text,
                    bool sjis = false) {
  std::vector<std::string> args = {"--eol=keep", sjis ? "--sjis" : "--utf8", "--lang=" + lang};
  args.insert(args.end(), style.begin(), style.end());
  const tool_result r = run_tool(args, text);
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

struct form_case {
  const char* name;
  const char* lang;
  std::string program;
  std::string literal;  // kept byte for byte in every style
  std::string code{};   // a line of code that every style converts as it converts text
  bool sjis = false;    // the program is Shift-JIS (else UTF-8)
};
void PrintTo(const form_case& c, std::ostream* os) { *os << c.name; }

class LiteralForms : public testing::TestWithParam<form_case> {};

// What reading as text makes of input in styles[style].
std::string as_text(std::size_t style, const std::string& input, bool sjis);

// The literal comes out whole in every style, the code around it is
// converted in one at least, and read as text the literal would change. A
// row's line of code (after the literal, or where a wrong reading would
// open one) comes out as text makes it in every style, and text changes it
// in one at least: a reading that keeps it, or misses the literal, fails.
TEST_P(LiteralForms, KeptWholeAndCodeConverted) {
  const form_case& c = GetParam();
  ASSERT_NE(c.program.find(c.literal), std::string::npos);
  ASSERT_TRUE(c.code.empty() || c.program.find(c.code) != std::string::npos);
  bool code_converted = false, text_changes_it = false, text_changes_code = false;
  for (std::size_t s = 0; s < styles.size(); ++s) {
    const auto& style = styles[s];
    const std::string out = convert(c.lang, style, c.program, c.sjis);
    EXPECT_NE(out.find(c.literal), std::string::npos) << "style " << testing::PrintToString(style) << ":\n" << out;
    code_converted = code_converted || out != c.program;
    const std::string text = as_text(s, c.program, c.sjis);
    text_changes_it = text_changes_it || text.find(c.literal) == std::string::npos;
    if (c.code.empty()) continue;
    std::string line = as_text(s, c.code + "\n", c.sjis);
    line.pop_back();
    text_changes_code = text_changes_code || line != c.code;
    EXPECT_NE(out.find(line), std::string::npos) << "style " << testing::PrintToString(style) << ":\n" << out;
  }
  EXPECT_TRUE(code_converted);
  EXPECT_TRUE(text_changes_it);
  EXPECT_TRUE(c.code.empty() || text_changes_code);
}

const form_case form_cases[] = {
    {"c_string", "c", "int f() {\n        return g(\"a\t  b\");\n}\n", "\"a\t  b\""},
    {"c_continued_string", "c", "\tputs(\"a  \\\n\t  b\");\n", "\"a  \\\n\t  b\""},
    {"c_char_after_comment_quote", "c", "/* don't */\n\tx = '\t';  // it's\n", "'\t'"},
    {"c_digit_separator", "c", "\tint  n = 1'000;\n\ts = \"\t  \";\n", "\"\t  \""},
    {"cpp_raw", "c", "auto s = R\"x(\n\t  a  \n  )\" )x\";\n\tint  y;\n", "R\"x(\n\t  a  \n  )\" )x\""},
    {"cpp_raw_prefixed", "c", "\tauto s = u8R\"(\t  )\";\n", "u8R\"(\t  )\""},
    {"java_text_block", "java", "class A {\n    String s = \"\"\"\n\t  x  \\\"\"\"\n        \"\"\";\n}\n",
     "\"\"\"\n\t  x  \\\"\"\"\n        \"\"\""},
    {"kotlin_raw_greedy", "kotlin", "\tval s = \"\"\"\n\t ${a}  \"\"\"\"\n    val  t = 1\n", "\"\"\"\n\t ${a}  \"\"\"\""},
    {"kotlin_template_code", "kotlin", "\tval s = \"a ${f(\"x\t y\")}  b\"\n", "\"a ${f(\"x\t y\")}  b\""},
    {"csharp_verbatim", "csharp", "\tvar s = @\"a \"\" \t b\n  c\";\n", "@\"a \"\" \t b\n  c\""},
    {"csharp_interpolated", "csharp", "\tvar s = $\"{d[\"k\"]}\t x\";\n", "$\"{d[\"k\"]}\t x\""},
    {"csharp_raw", "csharp", "\tvar s = \"\"\"\n\t  raw \" \n  \"\"\";\n", "\"\"\"\n\t  raw \" \n  \"\"\""},
    {"swift_raw", "swift", "\tlet s = #\"a \"\t b\"#\n", "#\"a \"\t b\"#"},
    {"swift_interpolation", "swift", "\tlet s = \"\\(f(\"x\t y\"))  z\"\n", "\"\\(f(\"x\t y\"))  z\""},
    {"swift_multiline", "swift", "\tlet s = \"\"\"\n\t  m\n  \"\"\"\n", "\"\"\"\n\t  m\n  \"\"\""},
    {"dart_raw_and_triple", "dart", "\tvar s = r'a\\\t ' + '''\n\t x''';\n", "r'a\\\t ' + '''\n\t x'''"},
    {"dart_interpolation", "dart", "\tvar s = \"${f(\"a\t b\")}  \";\n", "\"${f(\"a\t b\")}  \""},
    {"js_template", "js", "\tconst t = `a ${ `b ${\"c\t d\"}` }\n\t x`;\n", "`a ${ `b ${\"c\t d\"}` }\n\t x`"},
    {"js_regex_then_string", "js", "\tlet r = /[\"']  /g, s = \"a\t  b\";\n", "\"a\t  b\""},
    {"js_regex_kept", "js", "\tif (x) return /\t  [/]/.test(s);\n", "/\t  [/]/"},
    {"js_division_then_string", "js", "\tlet d = a / b, s = 'x\t y';\n", "'x\t y'"},
    // A CR alone ends a line comment where the language ends lines there.
    {"js_lone_cr_ends_a_line_comment", "js", "\tvar x; // c\rvar s = \"a\t  b\";\n", "\"a\t  b\""},
    {"c_lone_cr_ends_a_line_comment", "c", "\tint x; // c\rchar *s = \"a\t  b\";\n", "\"a\t  b\""},
    {"java_lone_cr_ends_a_line_comment", "java", "\tint x; // c\rString s = \"a\t  b\";\n", "\"a\t  b\""},
    {"php_lone_cr_ends_a_hash_comment", "php", "<?php\n\t$x = 1; # c\r$s = \"a\t  b\";\n", "\"a\t  b\""},
    {"go_raw", "go", "func f() {\n\tx := `\n\t  a: b\n`\n}\n", "`\n\t  a: b\n`"},
    {"go_rune_and_string", "go", "\tc := '\t'\n\ts := \"a\t  b\"\n", "\"a\t  b\""},
    {"rust_raw_hashes", "rust", "\tlet s = r##\"a \"# \t b\"##;\n", "r##\"a \"# \t b\"##"},
    {"rust_multiline", "rust", "\tlet s = \"a\n\t  b\";\n", "\"a\n\t  b\""},
    {"rust_lifetimes", "rust", "fn f<'a>(x: &'a str) -> &'a str {\n\t\"\t  \"\n}\n", "\"\t  \""},
    {"rust_doc_line", "rust", "\t/// a  b\n\tfn f() {}\n", "/// a  b"},
    {"rust_doc_block", "rust", "/*! c src/**/*.rs\n\t  d */\n\tfn f() {}\n", "/*! c src/**/*.rs\n\t  d */"},
    {"rust_nested_comment", "rust", "/* /* */ \" */\n\tlet s = \"a\t b\";\n", "\"a\t b\""},
    {"php_heredoc", "php", "<?php\n\t$a = <<<EOT\n\t  x {$b[\"k\"]}\n  EOT;\n", "\t  x {$b[\"k\"]}\n  EOT;\n"},
    {"php_nowdoc", "php", "<?php\n\t$a = <<<'EOT'\n\t y\nEOT;\n", "\t y\nEOT;\n"},
    {"php_output_text", "php", "<?php\n\techo 1;\n?>\n\t  <pre>  x</pre>\n<?php\n", "\n\t  <pre>  x</pre>\n<?php"},
    {"php_spanning_string", "php", "<?php\n\t$a = 'a\n\t  b';\n", "'a\n\t  b'"},
    {"python_docstring", "python", "def f():\n\t\"\"\"doc\n\t  x\"\"\"\n\treturn 1\n", "\"\"\"doc\n\t  x\"\"\""},
    {"python_fstring", "python", "def f():\n\treturn f\"{d['k']}\t  x\"\n", "f\"{d['k']}\t  x\""},
    {"python_prefixed_triple", "python", "def f():\n\treturn rb'''\n\t y'''\n", "rb'''\n\t y'''"},
    {"shell_heredoc", "shell", "if x; then\n\tcat <<EOF\n\t  body\nEOF\nfi\n", "\t  body\nEOF\n"},
    {"shell_dash_heredoc", "shell", "f() {\n\tcat <<-EOF\n\t\tbody  x\n\tEOF\n}\n", "\t\tbody  x\n\tEOF\n"},
    {"shell_two_heredocs", "shell", "\tcat <<'A' <<\"B\" # c\n\ta  a\nA\n\tb  b\nB\n", "\ta  a\nA\n\tb  b\nB\n"},
    {"shell_strings", "shell", "\techo \"$(echo \"a\t b\")\" $'c\\'\t d'\n", "\"$(echo \"a\t b\")\" $'c\\'\t d'"},
    {"shell_escaped_tab", "shell", "\tcase $x in [\\ \\\t]) ;; esac\n", "[\\ \\\t]"},
    {"shell_hash_in_word", "shell", "\techo a#b 'c\t  d'\n", "'c\t  d'"},
    {"ruby_squiggly_heredoc", "ruby", "\tx = <<~EOS\n\t  a  b\n\tEOS\n", "\t  a  b\n\tEOS\n"},
    {"ruby_percent", "ruby", "\ty = %w[a\t  b] + %q(c (d)\t e)\n", "%q(c (d)\t e)"},
    {"ruby_interpolation", "ruby", "\tz = \"#{h[\"k\"]}\t  x\"\n", "\"#{h[\"k\"]}\t  x\""},
    {"ruby_documentation", "ruby", "=begin\n\t  doc\n=end\n\tx  = 1\n", "=begin\n\t  doc\n=end\n"},
    {"ruby_regex_over_lines", "ruby", "\tr = Regexp.union(/a\n\t  b/x, 1)\n", "/a\n\t  b/x"},
    {"ruby_data", "ruby", "\tx  = 1\n__END__\n\t  data\n", "__END__\n\t  data\n"},
    {"perl_quote_like", "perl", "\tmy $x = q{a\t {b}  c};\n", "q{a\t {b}  c}"},
    {"perl_quote_like_in_block", "perl", "\tmap {qq(  x\t)} @a;\n", "qq(  x\t)"},
    {"perl_substitution", "perl", "\t$y =~ s{a\t b} {c  d}g;\n", "s{a\t b} {c  d}"},
    {"perl_heredoc", "perl", "\tprint <<\"END\";\n\t  body\nEND\n", "\t  body\nEND\n"},
    {"perl_division_then_string", "perl", "\t$z = $a / 2; $s = \"a\t  b\";\n", "\"a\t  b\""},
    // A YAML line's indentation stays as it is; the blanks after a key convert,
    // to spaces.
    {"yaml_block_scalar", "yaml", "a:\n\tb: |\n\t  x  \n\n\t   y\n\tc: 1\nd:\t1\n", "\t  x  \n\n\t   y\n"},
    {"yaml_plain_value", "yaml", "  a:\t x\ty  # it's\n  b: 1\n", "x\ty  # it's"},
    {"yaml_quoted", "yaml", "\ta: 1\n  b: 'it''s\n\t  z'\nd:\t1\n", "'it''s\n\t  z'"},
    {"csharp_verbatim_interpolated", "csharp", "\tvar s = $@\"{d[\"k\"]}\n\t \"\" x\";\n", "$@\"{d[\"k\"]}\n\t \"\" x\""},
    {"kotlin_groovy_single_triple", "kotlin", "\tdef s = '''\n\t  a  '''\n", "'''\n\t  a  '''"},
    {"swift_two_hashes", "swift", "\tlet s = ##\"a \"# \t\"##\n", "##\"a \"# \t\"##"},
    {"dart_double_triple", "dart", "\tvar s = \"\"\"\n\t  ${f(\"a\")}  \"\"\";\n", "\"\"\"\n\t  ${f(\"a\")}  \"\"\""},
    {"js_regex_after_keyword", "js", "\treturn /'\t  /.test(s) && \"a\t b\";\n", "/'\t  /"},
    {"js_quote_in_comment", "js", "\t// don't\n\tx = `\t  `; /* it's */ y = '\t';\n", "`\t  `"},
    {"js_template_in_template_code", "js", "\tt = `${a ? `\t ` : '\t  '}`;\n", "`${a ? `\t ` : '\t  '}`"},
    {"go_rune_quote", "go", "\tc := '\"'\n\ts := \"\t  \"\n", "\"\t  \""},
    // cgo compiles the comment before import "C" as C: its strings stay.
    // Perl reads "@{[ ... ]}" and "${ ... }" as code, whose here-documents
    // begin on the next line; elsewhere in a string << is text.
    {"perl_heredoc_in_interpolated_code", "perl", "print \"x @{[ <<EOT ]} y\\n\";\n\t  a    b\nEOT\n\t$z  = 1;\n",
     "\t  a    b\nEOT\n", "\t$z  = 1;"},
    {"perl_indented_heredoc_in_interpolated_code", "perl", "print `@{[ f({}, <<~'EOT') ]}`;\n    a    b\n    EOT\n\t$z  = 1;\n",
     "    a    b\n    EOT\n", "\t$z  = 1;"},
    {"perl_shift_words_in_a_string", "perl", "print \"a\t  <<EOT {b} ${\\ 1} <<EOT\";\n\t$z  = 1;\nEOT\n", "\"a\t  <<EOT {b} ${\\ 1} <<EOT\"",
     "\t$z  = 1;"},
    {"go_cgo_preamble", "go", "package p\n\n/*\nstatic const char *s = \"a    b\";\n*/\nimport \"C\"\n\nfunc f() {\n\tx  := 1\n}\n",
     "static const char *s = \"a    b\";", "\tx  := 1"},
    {"go_cgo_preamble_in_a_group", "go", "package p\n\nimport (\n\t\"fmt\"\n\t// static int  m = 1; /* x */\n\t\"C\"\n)\n\tx  := 1\n",
     "// static int  m = 1; /* x */", "\tx  := 1"},
    {"go_cgo_comments_do_not_nest", "go", "/* /* */\nimport\t\"C\"\n\ts := \"a\t  b\"\n\tx  := 1\n", "\"a\t  b\"", "\tx  := 1"},
    // go generate and go:embed read quoted words in their directives.
    {"go_generate_directive", "go", "//go:generate echo \"a    b\"\n\tx  := 1\n", "//go:generate echo \"a    b\"", "\tx  := 1"},
    // The comment before import may be the C code, with one of import's own.
    {"go_cgo_preamble_before_import_comment", "go",
     "package p\n\n// static const char *s = \"a    b\";\nimport /* c */ \"C\"\n\nfunc f() {\n\tx  := 1\n}\n",
     "// static const char *s = \"a    b\";", "\tx  := 1"},
    // cgo exports what follows "//export " only: a tab made spaces would export.
    {"go_cgo_export_in_one_line_group", "go", "package p\n\nimport (\"fmt\"; \"C\")\n\n//export\tF\nfunc F() {}\n\tx  := 1\n",
     "//export\tF", "\tx  := 1"},
    // //line and /*line name the file that the runtime reports, blanks and all.
    {"go_line_directive", "go", "func f() {\n//line a    b.go:10\n\tx  := 1\n}\n", "//line a    b.go:10", "\tx  := 1"},
    {"go_block_line_directive", "go", "func f() {\n\t/*line c    d.go:20:1*/ y := 2\n\tx  := 1\n}\n", "/*line c    d.go:20:1*/",
     "\tx  := 1"},
    // go generate reads its lines in a block comment too.
    {"go_generate_in_block_comment", "go", "/*\n//go:generate echo \"a    b\"\n*/\nfunc f() {\n\tx  := 1\n}\n",
     "//go:generate echo \"a    b\"", "\tx  := 1"},
    // go test compares an example's output with its comment, blanks and all.
    {"go_example_output", "go", "func ExampleF() {\n\tfmt.Println(\"a    b\")\n\t// Output:\n\t// a    b\n}\n\tx  := 1\n",
     "// a    b\n", "\tx  := 1"},
    {"go_example_unordered_output_block", "go",
     "func ExampleG() {\n\tfmt.Println(\"c    d\")\n\t/*\n\tunordered Output:\n\tc    d\n\t*/\n}\n\tx  := 1\n", "\tc    d\n\t*/",
     "\tx  := 1"},
    // Without import "C" a comment is converted as text is.
    {"go_comment_without_cgo", "go", "// a  \"C\" b\n\ts := \"x\t  y\"\n\t// c    d\n", "\"x\t  y\"", "\t// c    d"},
    {"rust_byte_raw_and_c", "rust", "\tlet a = br#\"\t \"#; let b = c\"\t  \";\n", "c\"\t  \""},
    {"rust_byte_quote", "rust", "\tlet q = b'\\''; let s = \"a\t b\";\n", "\"a\t b\""},
    {"php_quoted_heredoc", "php", "<?php\n\t$a = <<<\"ID\"\n\t {$x}  y\nID;\n\t$b  = 1;\n", "\t {$x}  y\nID;\n"},
    {"php_hash_comment", "php", "<?php\n\t# it's\n\t$a = \"\t  \";\n", "\"\t  \""},
    {"php_interpolation_quotes", "php", "<?php\n\t$a = \"{$b[\"k\"]}\t  \";\n", "\"{$b[\"k\"]}\t  \""},
    {"php_code_after_heredoc_terminator", "php", "<?php\n\t$a = f(<<<EOT\n\t  b\n\tEOT, \"x\n\t  y  z\");\n\t$b  = 1;\n",
     "\"x\n\t  y  z\"", "\t$b  = 1;"},
    {"php_short_tag_may_be_text", "php", "<?xml version=\"1.0\"\t  encoding=\"UTF-8\"?>\n<?php\n\t$b  = 1;\n",
     "<?xml version=\"1.0\"\t  encoding=\"UTF-8\"?>", "\t$b  = 1;"},
    // A line of the word inside the body's {$ ... } is a constant's name.
    {"php_heredoc_word_inside_its_code", "php", "<?php\n$s = <<<EOT\n{$x[\nEOT\n]}\t  b\nEOT;\n\t$b  = 1;\n", "]}\t  b\n",
     "\t$b  = 1;"},
    {"php_nowdoc_holds_no_code", "php", "<?php\n$a = <<<'EOT'\n{$x[\nEOT;\n\t$b  = 1;\n\t$c = \"d\t  e\";\n", "\"d\t  e\"",
     "\t$b  = 1;"},
    {"php_closing_tag_after_heredoc_terminator", "php", "<?php\n$a = <<<EOT\nx\nEOT?>\n\t  html  text\n<?php\n\t$b  = 1;\n",
     "\t  html  text", "\t$b  = 1;"},
    {"php_heredoc_after_heredoc_terminator", "php", "<?php\n$a = f(<<<EOT\nb\nEOT, <<<EOU\n\t  c  \nEOU);\n\t$b  = 1;\n",
     "\t  c  \nEOU", "\t$b  = 1;"},
    {"php_long_tag_in_any_case", "php", "<?PhP\n\t$b  = 1;\n\t$c = \"d\t  e\";\n", "\"d\t  e\"", "\t$b  = 1;"},
    {"python_single_inside_triple", "python", "def f():\n\treturn \"\"\"a ' b\n\t  \"\"\"\n", "\"\"\"a ' b\n\t  \"\"\""},
    {"python_continued_string", "python", "def f():\n\treturn 'a\\\n\t  b'\n", "'a\\\n\t  b'"},
    {"python_comment_quote", "python", "def f():  # don't\n\treturn '\t  '\n", "'\t  '"},
    {"shell_backslash_heredoc", "shell", "\tcat <<\\EOF\n\t $x  \nEOF\n\techo  1\n", "\t $x  \nEOF\n"},
    {"shell_here_string", "shell", "\tcat <<< \"a\t b\"\n\techo  1\n", "\"a\t b\""},
    {"shell_comment_quote", "shell", "\t# don't\n\techo '\t  '\n", "'\t  '"},
    {"ruby_percent_forms", "ruby", "\tr = %r{a\t {b} } + %Q[\t #{x} ]\n", "%r{a\t {b} } + %Q[\t #{x} ]"},
    {"ruby_dash_heredoc", "ruby", "\tx = <<-'EOS'\n\t  #{a}\n\t  EOS\n\ty  = 1\n", "\t  #{a}\n\t  EOS\n"},
    {"ruby_comment_quote", "ruby", "\t# don't\n\tx = '\t  '\n", "'\t  '"},
    {"perl_words_and_transliteration", "perl", "\tmy @w = qw(a\t  b); $s =~ tr/a\t/b /;\n", "qw(a\t  b); $s =~ tr/a\t/b /"},
    {"perl_match_bang", "perl", "\tif ($s =~ m!\t  !) { print \"\t\"; }\n", "m!\t  !"},
    {"perl_special_variables", "perl", "\tlocal $\" = ','; my $s = 'a\t  b';\n", "'a\t  b'"},
    {"perl_squiggly_heredoc", "perl", "\tprint <<~EOT;\n\t  a\t b\n\tEOT\n", "\t  a\t b\n\tEOT\n"},
    {"yaml_folded_in_list", "yaml", "- a: >-\n    x\t  y\n\n    z\n- b:\t1\n", "    x\t  y\n\n    z\n"},
    {"perl_pod_and_data", "perl", "=pod\n\t  x\n=cut\n\tmy  $a;\n__DATA__\n\t  d\n", "=pod\n\t  x\n=cut\n"},
    // Each idiom below is written so that only the right reading passes: a
    // wrong one opens a literal where there is none (and keeps the line of
    // code), or misses one that spans lines (and converts its blanks).
    {"perl_defined_or", "perl", "\tmy $n = $x // 0;\n\tmy  $y  = 1;\n\tmy $s = \"a / b\t  c\";\n", "\"a / b\t  c\"", "\tmy  $y  = 1;"},
    {"perl_defined_or_assign", "perl", "\t$h{k} //= 1;\n\tmy  $y  = 1;\n\tmy $s = \"a / b\t  c\";\n", "\"a / b\t  c\"", "\tmy  $y  = 1;"},
    {"perl_slurp_variable", "perl", "\tlocal $/;\n\tmy  $y  = 1;\n\tmy $s = \"a / b\t  c\";\n", "\"a / b\t  c\"", "\tmy  $y  = 1;"},
    {"perl_last_index", "perl", "\tmy $h = $#a / 2 + $#{$r} / 2;\n\tmy  $y  = 1;\n\tmy $s = \"a / b\t  c\";\n", "\"a / b\t  c\"", "\tmy  $y  = 1;"},
    {"perl_quote_variables", "perl", "\tprint $', $`;\n\tmy  $y  = 1;\n\tmy $s = 'a\t  b';\n", "'a\t  b'", "\tmy  $y  = 1;"},
    {"perl_hash_delimiter", "perl", "\t$x =~ s#a#b\t  c#;\n\tmy  $y  = 1;\n", "s#a#b\t  c#", "\tmy  $y  = 1;"},
    {"perl_tilde_delimiter", "perl", "\tmy $s = q~a\n\t  b~;\n\tmy  $y  = 1;\n", "q~a\n\t  b~", "\tmy  $y  = 1;"},
    {"perl_colon_delimiter", "perl", "\tmy $s = qq:a\t  b\n\t c:;\n\tmy  $y  = 1;\n", "qq:a\t  b\n\t c:", "\tmy  $y  = 1;"},
    {"perl_question_delimiter", "perl", "\tif ($x =~ m?a\t  b?) { $n++ }\n\tmy  $y  = 1;\n", "m?a\t  b?", "\tmy  $y  = 1;"},
    {"perl_angle_delimiter", "perl", "\tmy $s = q<a <b>\n\t  c>;\n\tmy  $y  = 1;\n", "q<a <b>\n\t  c>", "\tmy  $y  = 1;"},
    {"perl_fat_comma_keys", "perl", "\tmy %h = (q => 1, s => 2, y => 3);\n\tmy  $y  = 1;\n\tmy $s = 'a\t  b';\n", "'a\t  b'", "\tmy  $y  = 1;"},
    {"perl_substitution_parts_apart", "perl", "\t$x =~ s{a}  # what\n\t    {b\t  c}g;\n\tmy  $y  = 1;\n", "s{a}  # what\n\t    {b\t  c}", "\tmy  $y  = 1;"},
    {"perl_time_divides", "perl", "\tmy $m = time / 60;\n\tmy  $y  = 1;\n\tmy $s = \"a / b\t  c\";\n", "\"a / b\t  c\"", "\tmy  $y  = 1;"},
    {"perl_constant_both_ways", "perl", "\tmy $r = PI / 2;\n\tmy  $y  = 1;\n\t$z = $a / 3;\n", "\tmy  $y  = 1;\n", "\t$z = $a / 3;"},
    {"perl_lowercase_heredoc", "perl", "\tprint <<eot;\n\t  a  b\neot\n\tmy  $y  = 1;\n", "\t  a  b\neot\n", "\tmy  $y  = 1;"},
    {"ruby_char_single_quote", "ruby", "\tc = ?'\n\tx  = 1\n\ts = 'a\t  b'\n", "'a\t  b'", "\tx  = 1"},
    {"ruby_char_double_quote", "ruby", "\tc = ?\"\n\tx  = 1\n\ts = \"a\t  b\"\n", "\"a\t  b\"", "\tx  = 1"},
    {"ruby_char_hash", "ruby", "\tc = [?#, \"a\t  b\"]\n\tx  = 1\n", "\"a\t  b\"", "\tx  = 1"},
    {"ruby_ternary_not_char", "ruby", "\tc = x[0] ?'a':'b'\n\tx  = 1\n\ts = 'c\t  d'\n", "'c\t  d'", "\tx  = 1"},
    {"ruby_slurp_variable", "ruby", "\ts.chomp($/)\n\tx  = 1\n\tt = \"a / b\t  c\"\n", "\"a / b\t  c\"", "\tx  = 1"},
    {"ruby_quote_variable", "ruby", "\tputs $'\n\tx  = 1\n\ts = 'a\t  b'\n", "'a\t  b'", "\tx  = 1"},
    {"ruby_lowercase_heredoc", "ruby", "\tx = <<eos\n\t  a  b\neos\n\ty  = 1\n", "\t  a  b\neos\n", "\ty  = 1"},
    {"ruby_squiggly_strips_blanks", "ruby", "\tx = <<~EOS\n\t  a\t  b\n    EOS\n\ty  = 1\n", "\t  a\t  b\n    EOS\n", "\ty  = 1"},
    {"ruby_name_slash_both_ways", "ruby", "\tx = width /2\n\ty  = 1\n\tz = a / b\n", "\ty  = 1\n", "\tz = a / b"},
    {"ruby_append_not_heredoc", "ruby", "\tx = []\n\tx << y; s = \"a\t  b\"\n\tz  = 1\n", "\"a\t  b\"", "\tz  = 1"},
    {"shell_case_in_substitution", "shell", "\tx=\"$(case $a in\n\t  b)  echo \"1  2\";;\n\tesac)\"\n\techo  $x\n",
     "\"$(case $a in\n\t  b)  echo \"1  2\";;\n\tesac)\"", "\techo  $x"},
    {"shell_arithmetic_shift", "shell", "\tx=$((1 << 2)); y=\"a\t  b\"\n\techo  $x\n", "\"a\t  b\"", "\techo  $x"},
    {"shell_arithmetic_command", "shell", "\t(( x = 1 << 2 ))\n\techo  \"a\t  b\"\n\techo  $x\n", "\"a\t  b\"", "\techo  $x"},
    {"shell_dash_heredoc_strips_tabs_only", "shell", "\tcat <<-EOF\n\t\tbody  x\n  EOF\n\t\tmore  y\n\tEOF\n\techo  1\n",
     "\t\tbody  x\n  EOF\n\t\tmore  y\n\tEOF\n", "\techo  1"},
    {"shell_heredoc_word_in_full", "shell", "\tcat <<EOF\n\ta  b\nEOFX\nEO\n\tc  d\nEOF\n\techo  1\n",
     "\ta  b\nEOFX\nEO\n\tc  d\nEOF\n", "\techo  1"},
    {"ruby_heredoc_word_in_full", "ruby", "\tx = <<-EOS\n\ta  b\n  EOSX\n\tc  d\n  EOS\n\ty  = 1\n", "\ta  b\n  EOSX\n\tc  d\n  EOS\n",
     "\ty  = 1"},
    {"js_postfix_divides", "js", "\tlet b = a++ / 2; let s = \"x / y\t  z\";\n\tlet  w = 1;\n", "\"x / y\t  z\"", "\tlet  w = 1;"},
    {"js_keyword_property_divides", "js", "\tlet b = o.in / 2; let s = \"x / y\t  z\";\n\tlet  w = 1;\n", "\"x / y\t  z\"", "\tlet  w = 1;"},
    {"js_regex_after_if", "js", "\tif (ok) /a\t  b/.test(s);\n\tlet  w = 1;\n", "/a\t  b/", "\tlet  w = 1;"},
    {"js_division_after_parenthesis", "js", "\tz = (a + b) / 2, w = c  / 3;\n\ts = \"a\t  b\";\n", "\"a\t  b\"",
     "\tz = (a + b) / 2, w = c  / 3;"},
    {"jsx_text", "js", "\tconst e = <p>a    b\n\t\tc\t d</p>;\n\tlet  w = 1;\n", "a    b\n", "\tlet  w = 1;"},
    {"jsx_text_after_expression", "js", "\tconst e = <p>{n}  items\t here</p>;\n\tlet  w = 1;\n", "{n}  items\t here", "\tlet  w = 1;"},
    {"jsx_attribute_string", "js", "\treturn (\n\t\t<div title=\"a  b\n\t\t  c\">\n\t\t\tx    y\n\t\t</div>\n\t);\n",
     "\"a  b\n\t\t  c\"", "\t\t</div>"},
    {"ts_type_assertion", "ts", "\tlet x = <T>y; let s = \"a\t  b\";\n\tlet  z = 1;\n", "\"a\t  b\"", "\tlet  z = 1;"},
    {"tsx_type_parameters", "js", "\tconst f = <T,>(x: T) => x;\n\tlet  y = 1;\n\tlet s = \"a\t  b\";\n", "\"a\t  b\"", "\tlet  y = 1;"},
    {"c_digit_separator_then_char", "c", "\tn = 1'000; m = '\t';\n\tk  = 2;\n", "'\t'", "\tk  = 2;"},
    {"cpp_raw_prefixed_over_lines", "c", "\tauto s = u8R\"x(\n\t  a  \n  )\" )x\";\n\tint  y;\n", "u8R\"x(\n\t  a  \n  )\" )x\"", "\tint  y;"},
    {"python_two_letter_prefix", "python", "def f():\n\treturn rf\"{d[\"a  b\"]}\t  x\"\n", "rf\"{d[\"a  b\"]}\t  x\""},
    {"python_prefixes_any_case", "python", "def f():\n\treturn Rb'a\\'\t b' + bR\"\"\"c\n\t  d\"\"\" + t\"{e!r}  \"\n",
     "Rb'a\\'\t b' + bR\"\"\"c\n\t  d\"\"\" + t\"{e!r}  \""},
    {"perl_flags_after_close", "perl", "\tlike $b, qr/a/s, 'x\t  y';\n\tmy  $y  = 1;\n", "'x\t  y'", "\tmy  $y  = 1;"},
    {"ruby_method_argument_heredoc", "ruby", "\tx.must_equal <<-EOS\n\t  a  b\n\tEOS\n\ty  = 1\n", "\t  a  b\n\tEOS\n", "\ty  = 1"},
    // A line that opens two here-documents, then forks inside a string's
    // code (a regular expression or a division): the copy must carry both
    // documents and every frame, or it reads the second body's quote as
    // code, or the string's close as a byte of it, and keeps what follows.
    {"ruby_fork_after_two_heredocs", "ruby", "\tx = <<A + <<B + \"#{w /b/}\"\n\ta  a\nA\n\tit's  b\nB\n\ty  = 1\n",
     "\ta  a\nA\n\tit's  b\nB\n", "\ty  = 1"},
    {"jsx_after_line_comments", "js", "\treturn (\n\t\t// note\n\t\t<p a=\"1\"\n\t\t\t// why\n\t\t\tb={2}>x    y</p>\n\t);\n\tlet  w = 1;\n",
     "x    y", "\tlet  w = 1;"},
    {"tsx_type_parameter_defaults", "js", "\tconst f = <T = {}, U = T>(x: T) => x;\n\tlet  y = 1;\n\tlet s = \"a\t  b\";\n", "\"a\t  b\"",
     "\tlet  y = 1;"},
    {"perl_transliteration_parts_apart", "perl", "\t$s =~ tr[a-z]\n\t   [A-Z];\n\tmy  $y  = 1;\n", "tr[a-z]\n\t   [A-Z]",
     "\tmy  $y  = 1;"},
    {"shell_arithmetic_in_string", "shell", "\techo \"$((1 << 2))\t  x\"\n\techo  1\n", "\"$((1 << 2))\t  x\"", "\techo  1"},
    {"ruby_percent_argument", "ruby", "\tputs %(a\t  b\n\t c)\n\ty  = 1\n", "%(a\t  b\n\t c)", "\ty  = 1"},
    {"js_regex_class_holds_slash", "js", "\tx = s.replace(/[/]\t  /g, \"\");\n\ty  = 1;\n", "/[/]\t  /", "\ty  = 1;"},
    {"c_hex_digit_separators", "c", "\tn = 0x1'ff'a; c = 'a';\n\ts = \"\t  \";\n\tk  = 2;\n", "\"\t  \"", "\tk  = 2;"},
    // Blanks, line ends and comments may stand between a quote-like
    // operator and its delimiter; before "=>" the word is a hash's key.
    {"perl_delimiter_on_next_line", "perl", "\tmy $s = qq\n\t{a\t  b};\n\tmy  $y  = 1;\n", "qq\n\t{a\t  b}", "\tmy  $y  = 1;"},
    {"perl_delimiter_after_comment", "perl", "\tmy $s = q # note\n  # more\n\t{a\t  b};\n\tmy  $y  = 1;\n",
     "q # note\n  # more\n\t{a\t  b}", "\tmy  $y  = 1;"},
    {"perl_substitution_on_next_line", "perl", "\t$x =~ s\n\t/a/b\t  c/g;\n\tmy  $y  = 1;\n", "s\n\t/a/b\t  c/",
     "\tmy  $y  = 1;"},
    // After blanks any byte delimits, even one that ends a statement or a
    // list; $#q is an array's last index.
    {"perl_blank_then_semicolon_delimiter", "perl", "\tmy $s = q ;a\t  b;;\n\tmy  $y  = 1;\n", "q ;a\t  b;", "\tmy  $y  = 1;"},
    {"perl_blank_then_comma_delimiter", "perl", "\tmy @a = (q , 1\t  2,);\n\tmy  $y  = 1;\n", "q , 1\t  2,", "\tmy  $y  = 1;"},
    {"perl_blank_then_closing_delimiter", "perl", "\tprint q )a\t  b), q ]c\t  d];\n\tmy  $y  = 1;\n", "q )a\t  b), q ]c\t  d]",
     "\tmy  $y  = 1;"},
    {"perl_last_index_of_operator_name", "perl", "\tmy $k = $#m; print \"a;\t  b\";\n\tmy  $y  = 1;\n", "\"a;\t  b\"",
     "\tmy  $y  = 1;"},
    {"perl_last_index_then_operator", "perl", "\tmy $j = $#q+1; print \"a+\t  b\";\n\tmy  $y  = 1;\n", "\"a+\t  b\"",
     "\tmy  $y  = 1;"},
    // After an arrow, blanks and line ends the word is a method's name.
    {"perl_method_after_spaced_arrow", "perl", "\tprint $o -> q; print \"a;\t  b\";\n\tmy  $y  = 1;\n", "\"a;\t  b\"",
     "\tmy  $y  = 1;"},
    {"perl_method_after_arrow_at_line_end", "perl", "\tprint $o->\n\t  q; print \"a;\t  b\";\n\tmy  $y  = 1;\n", "\"a;\t  b\"",
     "\tmy  $y  = 1;"},
    {"perl_key_before_fat_comma_on_next_line", "perl", "\tmy %h = (q\n\t=> 1);\n\tmy  $y  = 1;\n\tmy $s = 'a\t  b';\n",
     "'a\t  b'", "\tmy  $y  = 1;"},
    // What follows PHP's __halt_compiler(); is data, whatever it holds.
    {"php_halt_compiler", "php", "<?php\n\t$y  = 1;\n__HALT_compiler /* c */ (\n) # d\n;\n\t  a  \"b\n\tc  d\n",
     "\t  a  \"b\n\tc  d\n", "\t$y  = 1;"},
    {"php_halt_compiler_closing_tag", "php", "<?php\n\t$y  = 1;\n__halt_compiler() ?>\n\t  a  <?php $b  = 1;\n",
     "\t  a  <?php $b  = 1;\n", "\t$y  = 1;"},
    {"php_method_named_halt_compiler", "php", "<?php\n\t$a->__halt_compiler();\n\t$y  = 1;\n\t$s = 'a\t  b';\n", "'a\t  b'",
     "\t$y  = 1;"},
    // Where an expression starts, Ruby's % takes a blank or a line end as
    // its delimiter, closed by the same byte (a tab at a line's end too).
    {"ruby_percent_tab_delimiter", "ruby", "\tx = %\ta  b\t\n\ty  = 1\n", "%\ta  b\t", "\ty  = 1"},
    {"ruby_percent_space_delimiter", "ruby", "\tx = [% a\t\tb , %Q\ta  #{1}\t]\n\ty  = 1\n", "% a\t\tb , %Q\ta  #{1}\t",
     "\ty  = 1"},
    {"ruby_percent_line_end_delimiter", "ruby", "\tx = [%\n\ta  b\t\n]\n\ty  = 1\n", "%\n\ta  b\t\n", "\ty  = 1"},
    // After an operand % divides, typed or not; after a name and a blank
    // it opens a literal for a method, even with a blank inside; %= opens
    // one where an expression starts, and so does %<.
    {"ruby_typed_percent_after_operand_divides", "ruby", "\tx = 7; q = 2\n\tp(x%q)\n\tputs \"a)\t  b\"  # \"\n\ty  = 1\n",
     "\"a)\t  b\"", "\ty  = 1"},
    {"ruby_percent_argument_blank_inside", "ruby", "\tputs %( a\t  b)\n\ty  = 1\n", "%( a\t  b)", "\ty  = 1"},
    {"ruby_percent_equals_delimiter", "ruby", "\tx = [%=a\t  b=, %q=c\t  d=]\n\ty  = 1\n", "%=a\t  b=, %q=c\t  d=", "\ty  = 1"},
    {"ruby_percent_angle_delimiter", "ruby", "\tx = [%<a\t  b>]\n\ty  = 1\n", "%<a\t  b>", "\ty  = 1"},
    // A line's end ends Ruby's statement: what starts the next line starts
    // an expression, unless a backslash continues the line.
    {"ruby_percent_on_a_new_statement", "ruby", "\tx = 5\n%(a\t  b).then { |w| p w }\n\ty  = 1\n", "%(a\t  b)", "\ty  = 1"},
    {"ruby_regex_on_a_new_statement", "ruby", "\tx = 5 # c\n/a\t  b/.match(s)\n\ty  = 1\n", "/a\t  b/", "\ty  = 1"},
    {"ruby_continued_line_divides", "ruby", "\tx = 5 \\\n  / 2; s = \"a / b\t  c\"\n\ty  = 1\n", "\"a / b\t  c\"", "\ty  = 1"},
    {"ruby_method_after_dot_then_modulo", "ruby", "\tp(s.length %\t2)\nputs \"x\ta\t  b\" # \"\n\ty  = 1\n", "\"x\ta\t  b\"",
     "\ty  = 1"},
    {"ruby_modulo_before_a_blank", "ruby", "\tx = 5\n\tw = x % 3\n\ty  = 1\n\ts = 'a\t  b'\n", "'a\t  b'", "\ty  = 1"},
    // Under ISO C's trigraphs ??/ is a backslash and ??' a caret; without
    // them neither: each reading's literals are kept.
    {"c_trigraph_continues_comment", "c", "\tint x; // note ?\?/\n\tchar *s = \"a\t  b\";\n\tint  y;\n", "\"a\t  b\"", "\tint  y;"},
    {"c_trigraph_escapes_quote", "c", "\tchar *t = \"a?\?/\"  b\";\n\tint  y;\n", "\"a?\?/\"  b\"", "\tint  y;"},
    {"c_trigraph_caret_before_quote", "c", "\tint z = a ?\?' b; char c = '\t  ';\n\tint  y;\n", "'\t  '", "\tint  y;"},
    // A Shift-JIS character whose second byte is a backslash or a backquote
    // (0x95 0x5C, 0x81 0x60): one character to a tool that decodes the text,
    // two bytes to one that does not; each reading's literals are kept.
    {"c_sjis_second_byte_backslash", "c", "\ts = \"\x95\\\"; t = \"a\t  b\";\n\tint  y;\n", "\"a\t  b\"", "\tint  y;", true},
    {"c_sjis_comment_ends_in_second_byte", "c", "\t// \x95\\\n\tchar *t = \"c\t  d\";\n\tint  z;\n", "\"c\t  d\"", "\tint  z;", true},
    // ...and in UTF-8 a backslash after such a byte is a backslash only.
    {"c_utf8_comment_ends_in_backslash", "c", "\t// \xc3\x95\\\n\tchar *t = \"c\t  d\";\n\tint  z;\n\tu = \"e\t  f\";\n",
     "\"e\t  f\"", "\tchar *t = \"c\t  d\";"},
    {"js_sjis_second_byte_backquote", "js", "\tlet s = `\x81\x60 a\t  b`;\n", "`\x81\x60 a\t  b`", "", true},
    // A parameter's word quotes as a word does; inside "${...}" a single
    // quote quotes for bash and is a byte for dash.
    {"shell_quoted_brace_in_parameter_word", "shell", "\techo [${a:-\"}\t  x\"}] \"${b:-\"}\"}\"\n\techo  1\n",
     "${a:-\"}\t  x\"}", "\techo  1"},
    {"shell_single_quoted_brace_in_parameter_word", "shell", "\techo [${a:-'}\t  y'}]\n\techo  1\n", "${a:-'}\t  y'}",
     "\techo  1"},
    {"shell_quote_in_quoted_parameter_word", "shell", "\techo \"${a:-it's}\" '\t  x'\n", "'\t  x'"},
    // C#'s raw interpolated strings: as many braces as dollars open code,
    // whose own literals may hold a run of quotes.
    {"csharp_raw_interpolated_hole", "csharp", "\tvar t = $\"\"\"{@\"a\"\"\"}\t  b\"\"\";\n\tint  y;\n",
     "$\"\"\"{@\"a\"\"\"}\t  b\"\"\"", "\tint  y;"},
    {"csharp_raw_two_dollars", "csharp", "\tvar s = $$\"\"\"\n\t{\"a\":  {{f(@\"x\"\"\"\"\")}} }\n  \"\"\";\n\tint  y;\n",
     "$$\"\"\"\n\t{\"a\":  {{f(@\"x\"\"\"\"\")}} }\n  \"\"\"", "\tint  y;"},
    // Swift's extended delimiters: \#( opens code, a quote without the
    // hashes closes nothing.
    {"swift_raw_interpolation", "swift", "\tlet s = #\"a \\#(f(\"b\"))\t  c\"#\n\tvar  y = 1\n", "#\"a \\#(f(\"b\"))\t  c\"#",
     "\tvar  y = 1"},
    {"swift_raw_multiline", "swift", "\tlet s = #\"\"\"\n\t  a \\#(x) \"\"\"\n  \"\"\"#\n\tvar  y = 1\n",
     "#\"\"\"\n\t  a \\#(x) \"\"\"\n  \"\"\"#", "\tvar  y = 1"},
    // JavaScript's v flag: classes nest, and a class may hold strings.
    {"js_regex_v_flag_nested_class", "js", "\tlet r = /[[a-z]--[aeiou]]\t  /v;\n\tlet  y = 1;\n", "/[[a-z]--[aeiou]]\t  /",
     "\tlet  y = 1;"},
    {"js_regex_v_flag_string_class", "js", "\tlet r = /[\\q{a\t  b}x]/v;\n\tlet  y = 1;\n", "/[\\q{a\t  b}x]/", "\tlet  y = 1;"},
    {"perl_format", "perl", "format STDOUT =\n@<<<<<   @>>>>\n$a,     $b\n.\n\tmy  $y  = 1;\n", "@<<<<<   @>>>>\n$a,     $b\n.\n",
     "\tmy  $y  = 1;"},
    {"js_first_line_hashbang", "js", "#!/usr/bin/env node --title=`x\n\tlet s = \"a\t  b\";\n\tlet  y = 1;\n", "\"a\t  b\"", "\tlet  y = 1;"},
    {"go_raw_backslash", "go", "\ts := `C:\\`\n\tx  := 1\n\tt := \"b\t  c\"\n", "\"b\t  c\"", "\tx  := 1"},
    // Java reads \uXXXX before anything else: \u000a ends a comment, \u0022
    // closes a string; \\u000a is a backslash and a u.
    {"java_escaped_newline_ends_comment", "java", "\t// c \\u000a String s = \"a\t  b\";\n\tint  x;\n", "\"a\t  b\"", "\tint  x;"},
    {"java_escaped_backslash_in_comment", "java", "\t// c \\\\u000a \"a\t  b\"\n\tint  x;\n\tt = \"c\t  d\";\n", "\"c\t  d\"",
     "\t// c \\\\u000a \"a\t  b\""},
    {"java_escaped_quote_closes", "java", "\ts = \"a\\u0022; t = \"c\t  d\";\n\tint  x;\n", "\"c\t  d\"", "\tint  x;"},
    {"java_escaped_comment_close", "java", "\t/* a \\u002a/ s = \"a\t  b\";\n\tint  x;\n", "\"a\t  b\"", "\tint  x;"},
    {"ruby_backtick_method", "ruby", "\tdef `(c) = \"o\t  #{c}\"\n\tx      = 1\n\ty = `a\t  b`\n", "`a\t  b`", "\tx      = 1"},
    {"ruby_percent_any_delimiter", "ruby", "\tputs %|a\t  b\n\t c|\n\ty      = 1\n", "%|a\t  b\n\t c|", "\ty      = 1"},
    {"shell_parameter_word", "shell", "\tf=${a#*\t  } g=${b:-x  ${c}\ty}\n\techo      1\n", "${a#*\t  } g=${b:-x  ${c}\ty}", "\techo      1"},
    {"ruby_operator_method_name", "ruby", "\tdef /(o)\n\t  x      = 1\n\tend\n\ts = \"a / b\t  c\"\n", "\"a / b\t  c\"", "\t  x      = 1"},
    {"ruby_operator_symbols", "ruby", "\ta = [:/, :%, 1]\n\tx      = 1\n\ts = \"a / b\t  c\"\n", "\"a / b\t  c\"", "\tx      = 1"},
    {"c_line_comment_continued", "c", "\t// c \\\n\t/* x\n\ts = \"a\t  b\";\n\tint      y;\n", "\"a\t  b\""},
    {"json_comment_holds_a_quote", "json", "{\n\t/* a \" */ \"x\":      \"f\t  g\",\n\t\"y\":    1\n}\n", "\"f\t  g\"", "\t\"y\":    1"},
    {"json5_single_quotes", "json", "{\n\ta:      'b\t  c\\\n\t d',\n\t\"y\":    1\n}\n", "'b\t  c\\\n\t d'", "\t\"y\":    1"},
    {"toml_multiline_strings", "toml", "a = \"\"\"\n\t x \\\"\"\"\"\"\"\nb = '''\n\t  y\\'''\nc      = 1\n",
     "\"\"\"\n\t x \\\"\"\"\"\"\"\nb = '''\n\t  y\\'''", "c      = 1"},
    {"toml_literal_string_no_escape", "toml", "x = { a = 'C:\\', b      = 1 }\nc = \"d\t  e\"\n", "\"d\t  e\"", "x = { a = 'C:\\', b      = 1 }"},
    {"perl_data_word_as_key", "perl", "\tmy %h = (__END__ => 1);\n\tprint $h{ __DATA__ }, \"a\t  b\";\n\tmy  $y  = 1;\n", "\"a\t  b\"",
     "\tmy  $y  = 1;"},
    {"ruby_data_word_is_no_end", "ruby", "\tx = \"a\t  b\"\n__DATA__\n\ty  = 1\n", "\"a\t  b\"", "\ty  = 1"},
    {"js_private_name_that_is_a_keyword", "js", "\tm(b) { return this.#return / 2 + \"a/\t  + 'q' + b\"; }\n\tlet  z  = 1;\n",
     "\"a/\t  + 'q' + b\"", "\tlet  z  = 1;"},
    {"shell_old_arithmetic_shift", "shell", "\te=$[1<<2 ]\n\ts=\"a\n2\n\t  b\"\n\techo  1\n", "\"a\n2\n\t  b\"", "\techo  1"},
    {"shell_word_goes_on_after_substitution", "shell", "\techo $(date)#\"a\t  b\" $((1))#'c\t  d'\n\techo  1\n",
     "\"a\t  b\" $((1))#'c\t  d'", "\techo  1"},
    {"js_contextual_keyword_as_variable", "js", "\tvar await = 4, of = 2;\n\tx = await / 2 + \"a/\t  + 'q' + b\";\n\tlet  z  = 1;\n",
     "\"a/\t  + 'q' + b\"", "\tlet  z  = 1;"},
    {"js_yield_then_regex", "js", "\tfunction* g() { yield /a\t  \"b/.source; }\n\tlet  z  = 1;\n", "/a\t  \"b/", "\tlet  z  = 1;"},
    {"perl_heredoc_empty_word", "perl", "\tprint <<\"\";\n\t  a  b\n\n\tmy  $y  = 1;\n", "\t  a  b\n\n", "\tmy  $y  = 1;"},
    {"ruby_heredoc_empty_word", "ruby", "\tputs <<''\n\t  a  b\n\n\ty  = 1\n", "\t  a  b\n\n", "\ty  = 1"},
    {"shell_heredoc_empty_word", "shell", "\tcat <<\"\"\n\t  a  b\n\n\techo  1\n", "\t  a  b\n\n", "\techo  1"},
    {"ruby_heredoc_word_then_string", "ruby", "\tputs <<~E\"\t  a\"\n\t  b\n\tE\n\ty  = 1\n", "\"\t  a\"", "\ty  = 1"},
    {"ruby_method_after_dot_then_spaced_slash", "ruby", "\ty = x.size / 2 + \"a/\t  + 'q' + b\".size\n\tw      = 1\n",
     "\"a/\t  + 'q' + b\"", "\tw      = 1"},
    {"ruby_method_after_dot_then_regex", "ruby", "\ty = x.grep /a\t  b/\n\tw      = 1\n", "/a\t  b/", "\tw      = 1"},
    {"c_backslash_blanks_newline_splices", "c", "\ts = \"a\\  \n\t  b\";\n\tint  x;\n", "\"a\\  \n\t  b\"", "\tint  x;"},
    {"swift_extended_regex", "swift", "\tlet r = #/a\t  \"b/# + ##/c/#\t  d/##\n\tlet  z = 1\n", "#/a\t  \"b/# + ##/c/#\t  d/##",
     "\tlet  z = 1"},
    {"ruby_special_global_put_in_string", "ruby", "\tx = \"a#$\" b\t  c\" + `echo #$` d`\n\tw      = 1\n", "\"a#$\" b\t  c\"",
     "\tw      = 1"},
    {"perl_modulo_then_quote_like", "perl", "\tmy $y = $x %qq{2\t  } + %q;\n\tmy  $z  = 1;\n", "qq{2\t  }", "\tmy  $z  = 1;"},
    {"perl_print_handle_then_heredoc", "perl", "\tprint $fh <<EOF;\n\t  a  b\nEOF\n\tmy  $y  = $x << 2;\n", "\t  a  b\nEOF\n",
     "\tmy  $y  = $x << 2;"},
    {"perl_print_block_handle_then_heredoc", "perl", "\tprint {$out} <<\"E2\";\n\t  c  d\nE2\n\tmy  $y  = 1;\n", "\t  c  d\nE2\n",
     "\tmy  $y  = 1;"},
    {"perl_heredoc_word_with_blanks", "perl", "\tprint <<\"        EOT\";\n\t  a  b\n        EOT\n\tmy  $y  = 1;\n",
     "<<\"        EOT\";\n\t  a  b\n        EOT\n", "\tmy  $y  = 1;"},
    {"perl_readline_then_defined_or", "perl", "\tmy $x = <STDIN> // 'a';\n\tmy $s = \"b/\t  c\";\n\tmy  $y  = 1;\n", "\"b/\t  c\"",
     "\tmy  $y  = 1;"},
    {"perl_print_handle_then_pattern", "perl", "\tprint $fh /a\t  b/ ? 1 : 0;\n\tmy  $y  = $x / 2;\n", "/a\t  b/", "\tmy  $y  = $x / 2;"},
    {"perl_old_package_separator", "perl", "\tmy $q = $main'v . \"\t'  \";\n\tmy $r = \"c\t  d\";\n\tmy  $y  = 1;\n",
     "\"c\t  d\"", "\tmy  $y  = 1;"},
    {"perl_old_package_separator_after_qualified_name", "perl", "\tmy @q = @Foo::Bar'w;\n\tmy $r = \"c\t  d\";\n\tmy  $y  = 1;\n",
     "\"c\t  d\"", "\tmy  $y  = 1;"},
    {"perl_unknown_word_then_quote_both_ways", "perl", "\tmy $a = isn't(1, 'x\t  y');\n\tmy $b = \"p\t  q\";\n", "'x\t  y'"},
    {"perl_function_then_quote", "perl", "\tprint lc'A\t  B';\n\tmy  $y  = 1;\n", "'A\t  B'", "\tmy  $y  = 1;"},
    {"shell_double_paren_subshell", "shell", "\th=$((cat) <<EOF\n\t  a  b\nEOF\n)\n\techo  1\n", "\t  a  b\nEOF\n", "\techo  1"},
};
INSTANTIATE_TEST_SUITE_P(Table, LiteralForms, testing::ValuesIn(form_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Read as text, no line's conversion depends on another's: one run of the
// tool a style and charset converts the programs and lines of code of every
// row, which saves some two thousand runs. An input the run does not hold
// (a program that does not end its last line) is converted on its own.
std::string as_text(std::size_t style, const std::string& input, bool sjis) {
  static std::map<std::pair<std::size_t, bool>, std::map<std::string, std::string>> done;
  std::map<std::string, std::string>& known = done[{style, sjis}];
  if (known.empty()) {
    std::vector<std::string> inputs;
    for (const form_case& c : form_cases) {
      if (c.sjis != sjis) continue;
      if (c.program.ends_with('\n')) inputs.push_back(c.program);
      if (!c.code.empty()) inputs.push_back(c.code + "\n");
    }
    std::string all;
    for (const std::string& in : inputs) all += in;
    const std::string out = convert("text", styles[style], all, sjis);
    // Each input's lines are as many lines of the output, in order.
    std::size_t at = 0;
    for (const std::string& in : inputs) {
      std::size_t end = at;
      for (auto lines = std::count(in.begin(), in.end(), '\n'); lines > 0 && end != std::string::npos; --lines) {
        end = out.find('\n', end);
        if (end != std::string::npos) ++end;
      }
      if (end == std::string::npos) break;
      known.emplace(in, out.substr(at, end - at));
      at = end;
    }
    EXPECT_EQ(at, out.size()) << "the text reading does not keep to lines: " << testing::PrintToString(styles[style]);
  }
  const auto it = known.find(input);
  return it != known.end() ? it->second : convert("text", styles[style], input, sjis);
}

// Where the lexer cannot be sure, it keeps the rest of the text as it is,
// from the line where it stopped being sure, in every style.
struct kept_case {
  const char* name;
  const char* lang;
  std::string program;
  std::string rest;  // the end of the program, kept byte for byte
  int gave_up_at = 0;  // the line from which the lexer gave up; 0: the rest is one literal, to the end
};
void PrintTo(const kept_case& c, std::ostream* os) { *os << c.name; }

class KeptToTheEnd : public testing::TestWithParam<kept_case> {};

TEST_P(KeptToTheEnd, WhenTheLexerCannotBeSure) {
  const kept_case& c = GetParam();
  ASSERT_EQ(c.program.substr(c.program.size() - c.rest.size()), c.rest);
  bool text_changes_it = false;
  for (const auto& style : styles) {
    const std::string out = convert(c.lang, style, c.program);
    EXPECT_TRUE(out.size() >= c.rest.size() && out.substr(out.size() - c.rest.size()) == c.rest)
        << "style " << testing::PrintToString(style) << ":\n" << out;
    const std::string text = convert("text", style, c.program);
    text_changes_it = text_changes_it || text.size() < c.rest.size() || text.substr(text.size() - c.rest.size()) != c.rest;
  }
  EXPECT_TRUE(text_changes_it);
  // Where the lexer gave up, the filter, the file modes and a buffer named by
  // --stdin-filename say from which line the rest is kept; of a literal that
  // runs to the end they say nothing.
  const std::string note = c.gave_up_at == 0 ? std::string()
                                             : ": line " + std::to_string(c.gave_up_at) +
                                                   ": its literals cannot be told apart from here; the rest is kept as it is\n";
  const std::string lang = std::string("--lang=") + c.lang;
  const tool_result filter = run_tool({"--eol=keep", "--utf8", lang, "8", "4"}, c.program);
  EXPECT_EQ(filter.err, note.empty() ? note : "stdin" + note);
  scratch_dir d;
  const std::string file = d.write("kept", c.program);
  const tool_result check = run_tool({"--check", lang, "8", "4", file}, "");
  EXPECT_EQ(check.err, note.empty() ? note : file + note);
  const tool_result named = run_tool({"--stdin-filename=" + file, lang, "8", "4"}, c.program);
  EXPECT_EQ(named.err, note.empty() ? note : file + note);
  EXPECT_EQ(run_tool({"-i", lang, "8", "4", file}, "").err, note.empty() ? note : file + note);
}

std::string nested_templates(int depth) {
  std::string open, close;
  for (int k = 0; k < depth; ++k) {
    open += "`${";
    close = "}`" + close;
  }
  return "\tx = " + open + "a" + close + ";\n";
}

const kept_case kept_cases[] = {
    {"shell_heredoc_without_word", "shell", "\techo  1\n\tcat <<\n\t  2\n\techo  x\n", "\tcat <<\n\t  2\n\techo  x\n", 2},
    {"js_regex_never_closed", "js", "\ty  = 1;\n\tx = f(/a  b\n\tz  = 2;\n", "\tx = f(/a  b\n\tz  = 2;\n", 2},
    {"shell_heredoc_word_too_long", "shell", "\tcat <<" + std::string(70, 'W') + "\n\t  a\n\techo  x\n",
     "\tcat <<" + std::string(70, 'W') + "\n\t  a\n\techo  x\n", 1},
    {"python_docstring_never_closed", "python", "def f():\n\t\"\"\"doc\n\t  x\n\ty  = 1\n", "\"\"\"doc\n\t  x\n\ty  = 1\n"},
    {"go_raw_string_never_closed", "go", "\tx := 1\n\ts := `\n\t  y  = 2\n", "`\n\t  y  = 2\n"},
    {"ruby_heredoc_never_ended", "ruby", "\tx = <<~EOS\n\t  a\n\ty  = 1\n", "\t  a\n\ty  = 1\n"},
    {"perl_data_section", "perl", "\tmy  $x;\n__END__\n\t  data\n", "__END__\n\t  data\n"},
    {"perl_data_after_code", "perl", "\tprint <DATA>; __DATA__ rest\n\t  data\n", "__DATA__ rest\n\t  data\n"},
    {"perl_data_indented", "perl", "\tmy  $x;\n  __END__\n\t  data\n", "__END__\n\t  data\n"},
    {"php_data_after_halt_compiler", "php", "<?php\n\t$x  = 1;\n__halt_compiler();\n\t  data\n", "\n\t  data\n"},
    {"js_nested_past_the_limit", "js", "\ty  = 1;\n" + nested_templates(40) + "\tz  = 2;\n",
     nested_templates(40) + "\tz  = 2;\n", 2},
};
INSTANTIATE_TEST_SUITE_P(Table, KeptToTheEnd, testing::ValuesIn(kept_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// A line longer than the filter's buffer comes in pieces, and in the file
// modes a line past the reader's window is gathered whole: both keep their
// literals, and -t the trailing blanks inside them.
TEST(Lexer, LiteralsInPiecesAndOnLongLines) {
  std::string body;
  while (body.size() < 300) body += "a\t  b ";
  const std::string program = "\tx := `\n" + body + "\n`\n\ty := 1\n";
  const tool_result piece = run_tool({"--eol=keep", "--utf8", "--lang=go", "-b64", "-t", "--spaces", "4"}, program);
  EXPECT_EQ(piece.out, "    x := `\n" + body + "\n`\n    y := 1\n");

  // A line the filter reads in pieces (255 bytes a piece under -b256) whose
  // last piece is its newline alone, one byte short of that and one past,
  // then a literal that stays open over lines: the next line starts a line,
  // in every style.
  for (const std::size_t len : {510, 511, 512}) {
    const std::string first = "\t// " + std::string(len - 5, 'a') + "\n";
    ASSERT_EQ(first.size(), len);
    const std::string literal = "`\n\t  a  b\t\n  `";
    const std::string rest = "\tx := " + literal + "\n\ty  := 1\n";
    for (const auto& style : styles) {
      std::vector<std::string> args = {"--eol=keep", "--utf8", "--lang=go", "-b256"};
      args.insert(args.end(), style.begin(), style.end());
      const tool_result r = run_tool(args, first + rest);
      EXPECT_NE(r.out.find(literal), std::string::npos) << len << " " << testing::PrintToString(style) << "\n" << r.out;
      std::string code = convert("text", style, "\ty  := 1\n");
      EXPECT_NE(r.out.find(code), std::string::npos) << len << " " << testing::PrintToString(style) << "\n" << r.out;
    }
  }

  std::string line;
  while (line.size() < 200 * 1024) line += "a\t  b ";
  scratch_dir d;
  const std::string file = d.write("a.go", "\tx := `" + line + "\n`\n\ty := 1\n");
  const tool_result r = run_tool({"-i", "-t", "--spaces", "4", file}, "");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(read_file(file) == "    x := `" + line + "\n`\n    y := 1\n");
}

struct language_case {
  const char* base;
  const char* head;
  language lang;
};

// A file's language by its name, else, for a name without a known
// extension, by its first line.
TEST(Languages, ByNameThenFirstLine) {
  const language_case cases[] = {
      {"a.hpp", "", language::c},
      {"a.tsx", "#!/usr/bin/env python3\n", language::js},
      {"Gemfile", "", language::ruby},
      {"run", "#!/bin/sh -e\n", language::shell},
      {"run", "#!/usr/bin/env -S bash -x\n", language::shell},
      {"tool", "#!/usr/local/bin/python3.12\r\n", language::python},
      {"tool", "#! /usr/bin/perl -w\n", language::perl},
      {"cli", "#!/usr/bin/env node\n", language::js},
      {"notes.txt", "#!/bin/sh\n", language::text},
      {"README", "#!not a program\n", language::text},
      {"script", "echo hi\n", language::text},
  };
  for (const language_case& c : cases)
    EXPECT_EQ(language_of(c.base, c.head), c.lang) << c.base << " " << testing::PrintToString(std::string(c.head));
  for (const char* name : {"c", "rust", "yaml", "text"}) {
    language l = language::text;
    EXPECT_TRUE(language_named(name, l));
    EXPECT_EQ(forms_of(l).name, name);
  }
  language l = language::c;
  EXPECT_FALSE(language_named("cobol", l));
}

const language all_languages[] = {language::c,      language::java,  language::kotlin, language::csharp,
                                  language::swift,  language::dart,  language::js,     language::go,
                                  language::rust,   language::php,   language::python, language::shell,
                                  language::ruby,   language::perl,  language::yaml,   language::ts,
                                  language::json,   language::toml};

// Bytes that open, close, escape or nest something in one language or another.
const char* const soup[] = {"\"",  "'",   "`",  "\\",  "/",   "*",   "#",  "<<",  "<<-", "<<~", "<<<", "EOF",
                            "$",   "{",   "}",  "(",   ")",   "[",   "]",  "R\"x(", ")x\"", "r#\"", "\"#", "'a",
                            "%q(", "%w[", "q{", "s{",  "<?php", "?>", "@\"", "$\"",  "\"\"\"", "'''", "=begin",
                            "=end", "__END__", "f\"", "rb'", "\n", "\t", " ", "  ", "a", "x", "1", "=", "+", "|",
                            // ...and bytes whose reading is in doubt somewhere.
                            " / ", "//", "$/", "$'", "$#a", "?'", "?#", "PI", "time", "q~", "s#", "m?", "qq:", "q<",
                            "=>", "a++", "o.in", "if (x)", ") /", "<p>", "</p>", "<T,>", "/>", "$((", "((", "case",
                            "esac", "<<eos", "eos", "width /", "%(", "1'0", "?\?/", "?\?'", "% ", "%\t", "qq\n", "q #",
                            "__halt_compiler", "=>", "\x95\\", "\x81`", "\x95", "\x81{", "${a:-\"", "${a:-'", "$$\"\"\"", "{{", "}}", "//go:"};

std::string random_text(std::mt19937& rng, int words) {
  std::string s;
  for (int k = 0; k < words; ++k) s += soup[rng() % std::size(soup)];
  return s;
}

// Lexes text in calls of lines: one line a call, all at once (lines = 0),
// or, with cuts, as many lines a call as each next number of cuts says (and
// one). Skip picks the lexer; work, when given, gets the bytes its readings
// went over; sjis reads the text as Shift-JIS; reused, when given, is the
// lexer to start anew (else a fresh one); comments_kept keeps the comments.
template <bool Skip>
std::vector<std::uint64_t> literals_of(language l, std::string text, std::size_t lines = 1,
                                       const std::vector<unsigned>* cuts = nullptr, std::size_t* work = nullptr,
                                       bool sjis = false, literal_lexer* reused = nullptr, bool comments_kept = false) {
  const std::size_t n = text.size();
  text.resize(n + LEXER_PAD);
  std::vector<std::uint64_t> lit(n / 64 + 1);
  std::unique_ptr<literal_lexer> fresh;
  if (reused == nullptr) fresh = std::make_unique<literal_lexer>();
  literal_lexer& lexer = reused != nullptr ? *reused : *fresh;
  lexer.start(l, sjis, comments_kept);
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t call = 0;
  for (std::size_t s = 0; s < n; ++call) {
    std::size_t to = s;
    const std::size_t take = cuts != nullptr ? 1 + (*cuts)[call % cuts->size()] : lines;
    for (std::size_t k = 0; to < n && (take == 0 || k < take); ++k) {
      const void* nl = std::memchr(p + to, '\n', n - to);
      to = nl != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - p) + 1 : n;
    }
    lexer.scan<Skip>(p + s, to - s, true, lit.data(), s);
    s = to;
  }
  if (work != nullptr) *work = lexer.work();
  return lit;
}

bool kept(const std::vector<std::uint64_t>& lit, std::size_t k) { return (lit[k / 64] >> (k % 64) & 1) != 0; }

// Line by line or all at once, leaping or looking at each byte, lines cut
// into calls anywhere between them, by a fresh lexer or by one that read
// texts in other languages before: the same. Many of these texts fork.
TEST(Lexer, LeapsToWhatThePlainOneFinds) {
  std::mt19937 rng(21);
  const auto reused = std::make_unique<literal_lexer>();
  for (int round = 0; round < 4000; ++round) {
    const language l = all_languages[round % std::size(all_languages)];
    const std::string text = random_text(rng, 1 + static_cast<int>(rng() % 120));
    const bool sjis = round % 3 == 0;
    const auto by_lines = literals_of<true>(l, text, 1, nullptr, nullptr, sjis);
    ASSERT_EQ(by_lines, literals_of<false>(l, text, 1, nullptr, nullptr, sjis))
        << forms_of(l).name << " on " << testing::PrintToString(text);
    // What a lexer keeps from one text to the next (the stop sets of its
    // frames, its readings' unused frames) is none of the next one's.
    ASSERT_EQ(by_lines, literals_of<true>(l, text, round % 2 == 0 ? 1 : 0, nullptr, nullptr, sjis, reused.get()))
        << forms_of(l).name << " after other texts on " << testing::PrintToString(text);
    ASSERT_EQ(by_lines, literals_of<true>(l, text, 0, nullptr, nullptr, sjis))
        << forms_of(l).name << " at once on " << testing::PrintToString(text);
    const std::vector<unsigned> cuts = {static_cast<unsigned>(rng() % 4), static_cast<unsigned>(rng() % 3),
                                        static_cast<unsigned>(rng() % 5)};
    ASSERT_EQ(by_lines, literals_of<true>(l, text, 1, &cuts, nullptr, sjis))
        << forms_of(l).name << " cut on " << testing::PrintToString(text);
    // Comments kept (cgo's): the same four ways, and every byte kept
    // without them is kept with them.
    const auto kept_too = literals_of<false>(l, text, 1, nullptr, nullptr, sjis, nullptr, true);
    for (std::size_t k = 0; k < kept_too.size(); ++k)
      ASSERT_EQ(by_lines[k] & ~kept_too[k], 0u) << forms_of(l).name << " with comments kept, on " << testing::PrintToString(text);
    ASSERT_EQ(kept_too, literals_of<true>(l, text, 1, nullptr, nullptr, sjis, reused.get(), true)) << forms_of(l).name;
    ASSERT_EQ(kept_too, literals_of<true>(l, text, 0, nullptr, nullptr, sjis, nullptr, true)) << forms_of(l).name;
    ASSERT_EQ(kept_too, literals_of<true>(l, text, 1, &cuts, nullptr, sjis, nullptr, true)) << forms_of(l).name;
  }
}

// Which Go texts import "C", whose comments are then kept.
TEST(Lexer, CommentsKeptWhereGoImportsC) {
  const struct {
    language lang;
    const char* text;
    bool kept;
  } cases[] = {
      {language::go, "package p\n// c\nimport \"C\"\n", true},
      {language::go, "import\t\"C\"", true},
      {language::go, "import\"C\"\n", true},
      {language::go, "import ( \"C\" )\n", true},
      {language::go, "import (\r\n\t\"os\"\r\n\t\"C\"\r\n)\r\n", true},
      {language::go, "\"C\"", true},
      {language::go, "// c\nimport /* d */ \"C\"\n", true},
      {language::go, "import (\"fmt\"; \"C\")\n", true},
      {language::go, "// Output:\n// a\n", true},
      {language::go, "//\n//\tunordered  OUTPUT: a\n", true},
      {language::go, "/*\n\n output: */\n", true},
      {language::go, "fmt.Println(\"Output: x\") // no output:\n", false},
      {language::go, "x := \"C\"\n", false},
      {language::go, "reimport \"C\"\n", false},
      {language::go, "import \"C/x\"\nimport \"Cgo\"\n", false},
      {language::go, "import \"fmt\"\n", false},
      {language::c, "import \"C\"\n", false},
  };
  for (const auto& c : cases) EXPECT_EQ(keeps_comments(c.lang, c.text), c.kept) << testing::PrintToString(c.text);
}

// JavaScript's ') /' forks a copy that reads a regular expression; the
// leaping lexer makes no copy that it sees die on the line (a term after
// the close, the line's end), but counts it against the room for forks.
// Lines of what decides that (classes, escapes, escaped line ends, words
// and numbers after a close, lines that fork past the room, or are cut into
// calls): the same as the plain lexer, which makes every copy.
TEST(Lexer, ForksThatDieAsThePlainOneFinds) {
  const char* const parts[] = {"(a)", ")", " / ", "/", "[", "]", "\\", "\\\n", "\\/", " b", " 1", " in ",
                               "x", "\n", "'", "\"", "`", "${", "}", "//", "/*", "*/", "\r", " ", " = <p>", "</p>", ">"};
  std::mt19937 rng(4);
  for (int round = 0; round < 3000; ++round) {
    const language l = round % 2 == 0 ? language::js : language::ts;
    std::string text;
    // Some lines fork over and over, up to the room and past it.
    if (round % 4 == 0)
      for (int k = 20 + static_cast<int>(rng() % 30); k > 0; --k) text += rng() % 3 == 0 ? "(a) / [" : "(a) / b ";
    for (int k = 1 + static_cast<int>(rng() % 80); k > 0; --k) text += parts[rng() % std::size(parts)];
    const auto plain = literals_of<false>(l, text);
    ASSERT_EQ(plain, literals_of<true>(l, text)) << forms_of(l).name << " on " << testing::PrintToString(text);
    ASSERT_EQ(plain, literals_of<true>(l, text, 0)) << forms_of(l).name << " at once on " << testing::PrintToString(text);
    const std::vector<unsigned> cuts = {static_cast<unsigned>(rng() % 3), static_cast<unsigned>(rng() % 2)};
    ASSERT_EQ(plain, literals_of<true>(l, text, 1, &cuts))
        << forms_of(l).name << " cut on " << testing::PrintToString(text);
  }
}

// The leaping lexer reads a plain quote's literal to its close at once,
// and leaves to its frame what it cannot (a trigraph, a Java \u, an escaped
// blank, CR or line end, a line's end, a raw string's R, a run of three, a
// digit separator): lines of those pieces, the same as the plain lexer.
TEST(Lexer, QuotesReadAtOnceAsThePlainOneFinds) {
  const char* const parts[] = {"\"", "'", "`", "\\", "\\\\", "\\ ", "\\\t", "\\\r", "\\u0022", "\\u", "?\?/", "?\?'",
                               "??", "?", "R", "u8R\"(", ")\"", "1", "a", "x", " ", "\t", "\r", "\n", "\"\"\"", "'''",
                               "//", "/*", "*/", "#", "$", "{", "}", "(", ")"};
  std::mt19937 rng(8);
  for (int round = 0; round < 3000; ++round) {
    const language l = all_languages[round % std::size(all_languages)];
    std::string text;
    for (int k = 1 + static_cast<int>(rng() % 60); k > 0; --k) text += parts[rng() % std::size(parts)];
    const auto plain = literals_of<false>(l, text);
    ASSERT_EQ(plain, literals_of<true>(l, text)) << forms_of(l).name << " on " << testing::PrintToString(text);
    ASSERT_EQ(plain, literals_of<true>(l, text, 0)) << forms_of(l).name << " at once on " << testing::PrintToString(text);
  }
}

// Where a program leaves a byte's reading open, what either reading alone
// has inside a literal is kept, and what both have as code is not.
TEST(Lexer, KeepsWhatEachReadingKeeps) {
  struct both_ways {
    language lang;
    std::string text;
    std::vector<std::string> kept;  // each reading's literals in it
    std::string code;               // code in both
  };
  const both_ways cases[] = {
      {language::perl, "$x = PI / 2; $y = \"a  b\";\n$z  = 1 / 3\n", {"/ 2; $y = \"", "\"a  b\""}, "$z  = 1"},
      {language::ruby, "x = w /a  b/\nz  = 1\n", {"/a  b/"}, "z  = 1"},
      {language::ruby, "x = y ?'a  b'\nz  = 1 # '\n", {"'a  b'", "'\nz  = 1 # '"}, ""},
      {language::js, "if (x) /a  b/.test(s)\nz  = 1\n", {"/a  b/"}, "z  = 1"},
      {language::js, "x = (a) / 2, y = b  / 3\nz  = 1\n", {}, "y = b  / 3"},
      {language::ruby, "w <<eos\n a  b\neos\nz  = 1\n", {" a  b\neos\n"}, "z  = 1"},
      {language::ruby, "p %(a  b)\nz  = 1\n", {"%(a  b)"}, "z  = 1"},
  };
  for (const both_ways& c : cases) {
    const auto lit = literals_of<true>(c.lang, c.text);
    for (const std::string& k : c.kept) {
      const std::size_t at = c.text.find(k);
      ASSERT_NE(at, std::string::npos) << k;
      for (std::size_t b = at; b < at + k.size(); ++b) EXPECT_TRUE(kept(lit, b)) << c.text << " byte " << b;
    }
    if (c.code.empty()) continue;
    const std::size_t at = c.text.find(c.code);
    ASSERT_NE(at, std::string::npos);
    for (std::size_t b = at; b < at + c.code.size(); ++b) EXPECT_FALSE(kept(lit, b)) << c.text << " byte " << b;
  }
}

// Lines of one pattern over and over, which a lexer that looks back or ahead
// without bound, or follows readings without one, would take hours over:
// each line, and its first 64 KB as lines of 80, take a bounded number of
// steps (the readings' bytes; the suite's timeout stands guard over what
// they look at around them), marking nothing past the text. A test a
// language, so that sharded runs share out the work.
class PathologicalLines : public testing::TestWithParam<language> {};

TEST_P(PathologicalLines, TakeBoundedWork) {
  const language l = GetParam();
  const char* const patterns[] = {"\"",  "'",       "/[",   "1'",       "<<'",  "r#",   "#\"",     "%q",
                                  "q{",  "$(",      "${",   "`",        "\\",   "/*",   "a /",     " ",
                                  "\t",  "'''",     "@\"",  "<<",       "=~ /", "s/",   "(/[",     "(a) / b ",
                                  "?a ", "x /a",    "a <<b ", "PI / 2 ", "$x // ", "\"$(case a in b) ", "<a ", " <p>{",
                                  "$((", "q~",      "1'1",  "x %(",  "\"?\?/", "// ?\?/\n", "= %\t", "qq\n", "$$\"\"\"{{"};
  for (const char* pattern : patterns) {
    std::string line;
    while (line.size() < 256 * 1024) line += pattern;
    std::string lines = line.substr(0, 64 * 1024);
    for (std::size_t k = 80; k < lines.size(); k += 81) lines.insert(k, 1, '\n');
    for (const std::string& text : {line + '\n', lines + '\n'}) {
      std::size_t work = 0;
      const auto lit = literals_of<true>(l, text, 1, nullptr, &work);
      EXPECT_LE(work, 3 * text.size()) << pattern;
      EXPECT_EQ(lit.back() >> (text.size() % 64), 0u) << pattern;
    }
  }
}
INSTANTIATE_TEST_SUITE_P(Lexer, PathologicalLines, testing::ValuesIn(all_languages),
                         [](const auto& info) { return std::string(forms_of(info.param).name); });

// An extension that names each language.
const char* extension_of(language l) {
  static constexpr const char* by_language[] = {"txt", "c",  "java", "kt", "cs", "swift", "dart", "js", "go",
                                                "rs",  "php", "py",  "sh", "rb", "pl",    "yml",  "ts"};
  return by_language[static_cast<int>(l)];
}

// Literal forms whose content may hold any blank, a newline where the form
// spans lines; "@@" stands for the content.
struct generated_form {
  language lang;
  const char* form;
  bool spans;
};
const generated_form generated_forms[] = {
    {language::c, "\"@@\"", false},          {language::c, "R\"d(@@)d\"", true},
    {language::java, "\"\"\"\n@@\"\"\"", true}, {language::kotlin, "\"\"\"@@\"\"\"", true},
    {language::csharp, "@\"@@\"", true},     {language::swift, "#\"@@\"#", true},
    {language::dart, "'''@@'''", true},      {language::js, "`@@`", true},
    {language::js, "'@@'", false},           {language::go, "`@@`", true},
    {language::go, "/*@@*/\nimport \"C\"\n", true}, {language::go, "// @@\nimport \"C\"\n", false},
    {language::rust, "r#\"@@\"#", true},     {language::rust, "\"@@\"", true},
    {language::php, "'@@'", true},           {language::python, "\"\"\"@@\"\"\"", true},
    {language::python, "f'@@'", false},      {language::shell, "'@@'", true},
    {language::shell, "<<EOF\n@@\nEOF\n", true}, {language::ruby, "%q(@@)", true},
    {language::ruby, "<<~EOS\n@@\nEOS\n", true}, {language::perl, "q{@@}", true},
    {language::yaml, ": '@@'", true},       {language::yaml, ": \"@@\"", true},
};

// Generated programs: lines of code, indented and spaced at random, around
// literals of each form whose content is blanks, words and newlines. What
// lies inside each literal comes out as it went in, in every style.
TEST(Lexer, GeneratedProgramsKeepTheirLiterals) {
  std::mt19937 rng(2121);
  const char* const blanks[] = {" ", "  ", "\t", " \t", "\t  ", "    "};
  for (int round = 0; round < 144; ++round) {
    const generated_form& g = generated_forms[round % std::size(generated_forms)];
    std::string program = forms_of(g.lang).lang == language::php ? "<?php\n" : "";
    std::vector<std::string> literals;
    for (int line = 0; line < 6; ++line) {
      program += std::string(blanks[rng() % std::size(blanks)]) + "x" + blanks[rng() % std::size(blanks)] + "= ";
      std::string content;
      for (int k = 0; k < 8; ++k) {
        const unsigned r = rng() % 4;
        content += r == 0 && g.spans ? std::string("\n") + blanks[rng() % std::size(blanks)]
                   : r == 1          ? "w"
                                     : blanks[rng() % std::size(blanks)];
      }
      std::string literal = g.form;
      literal.replace(literal.find("@@"), 2, content);
      literals.push_back(literal);
      program += literal + (literal.back() == '\n' ? "" : ";\n");
    }
    const auto& style = styles[rng() % styles.size()];
    const std::string out = convert(std::string(forms_of(g.lang).name), style, program);
    std::size_t at = 0;
    for (const std::string& literal : literals) {
      const std::size_t found = out.find(literal, at);
      ASSERT_NE(found, std::string::npos) << forms_of(g.lang).name << " " << testing::PrintToString(style)
                                          << "\n" << program << "---\n" << out;
      at = found + literal.size();
    }
    // The file modes lex the window's lines at once, the filter line by
    // line here: a file named for its language becomes what the filter wrote
    // (Python aside, whose file may be left alone for its indentation, and
    // YAML, whose indentation the file modes keep).
    if (g.lang == language::python || g.lang == language::yaml) continue;
    scratch_dir d;
    const std::string file = d.write(std::string("f.") + extension_of(g.lang), program);
    ASSERT_EQ(language_by_name(std::string("f.") + extension_of(g.lang)), g.lang);
    std::vector<std::string> args = {"-i"};
    args.insert(args.end(), style.begin(), style.end());
    args.push_back(file);
    const tool_result r = run_tool(args, "");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(file), out) << forms_of(g.lang).name << " " << testing::PrintToString(style);
  }
}

}  // namespace
