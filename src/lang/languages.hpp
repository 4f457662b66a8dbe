// The languages whose literals a conversion keeps: for each, the names and
// first lines that say a file is in it, and its lexical forms, in one table
// that the lexer follows.
#pragma once

#include <string_view>

namespace morek {

enum class language : unsigned char {
  text,  // no literals: every line is converted
  c,     // C, C++, Objective-C
  java,
  kotlin,  // Kotlin, Scala, Groovy: "${...}" in strings
  csharp,
  swift,
  dart,
  js,  // JavaScript and TypeScript with JSX
  go,
  rust,
  php,
  python,
  shell,
  ruby,
  perl,
  yaml,  // what follows a line's indentation, block scalars and quoted scalars
  ts,    // TypeScript without JSX (<T>x asserts a type)
  json,  // JSON, and the comments of JSONC and JSON5
  toml,
};

// What "${" and the like open inside a string: code, up to the matching
// closer, with literals of its own.
enum class interpolation : unsigned char {
  none,
  dollar_brace,  // ${ ... }
  brace,         // { ... }, "{{" a brace (Python's f-strings, C#'s $"...")
  hash_brace,    // #{ ... }
  shell,         // $( ... ), ${ ... }, ` ... `
  swift,         // \( ... )
  php,           // {$ ... }, ${ ... }
  raw_brace,     // C#'s $$"""...""": as many braces as dollars open code, fewer are text
  perl_block,    // @{ ... } and ${ ... }: code without literals of its own, but here-documents
};

// What a quote opens outside literals and comments.
struct quote_form {
  bool opens = false;
  bool spans_lines = false;    // else the line's end closes it (it is an error there)
  unsigned char escape = 0;    // the escape byte, or 0
  interpolation holds = interpolation::none;
};

enum class heredoc_form : unsigned char { none, shell, ruby, perl, php };

// Where a '/' in code may open a regular expression, and how to tell.
enum class regex_form : unsigned char { none, js, ruby, perl };

struct lexical_forms {
  language lang = language::text;
  std::string_view name{};          // as --lang and --show-settings spell it
  std::string_view line_comment{};  // "//" or empty
  bool cr_ends_lines = false;       // a CR alone ends a line comment, as an LF does
  bool hash_comments = false;     // '#' starts a comment...
  bool hash_at_word_only = false; // ...only where a word starts (shell)
  bool block_comments = false;    // /* */
  bool continued_comments = false;  // a backslash at a line comment's end continues it (C)
  bool splice_blanks = false;       // ...and a backslash, blanks and a line's end splice lines (C)
  bool trigraphs = false;         // ??/ may be a backslash and ??' a caret, or not: both are followed (C)
  bool nested_comments = false;
  std::string_view pod_open{}, pod_close{};  // lines of documentation: "=begin" to "=end"
  bool data_end = false;                 // a line __END__ (or __DATA__) ends the code
  quote_form dq{}, sq{}, bq{};           // what " ' and ` open
  bool triple_dq = false, triple_sq = false;  // """...""" and '''...'''
  quote_form triple{};
  bool triple_greedy = false;  // a run of more quotes than opened closes at its end
  bool cpp_raw = false;        // R"d(...)d" with u8R uR UR LR
  bool rust_forms = false;     // r#"..."# b"" c"" br cr, 'x' against lifetimes
  bool digit_separators = false;  // 1'000
  bool csharp_forms = false;   // @"..." $"..." $@"..." """..."""
  bool swift_raw = false;      // #"..."#
  bool dart_raw = false;       // r'...'
  bool python_prefixes = false;  // r b u f and pairs; f holds {expressions}
  bool shell_forms = false;    // $'...', a backslash escapes in code
  bool ruby_percent = false;   // %q() %w[] ...
  bool perl_forms = false;     // q qq qw qx m qr s tr y; $' and $" are variables
  bool php_tags = false;       // text outside <?php ... ?> is output
  bool yaml_forms = false;     // only indentation is code; | and > open block scalars; quotes open values only
  bool jsx = false;            // <a> where an expression starts opens an element, its text a literal
  bool unicode_escapes = false;  // \u0022 is the byte it names, before anything else is read (Java)
  regex_form regex = regex_form::none;
  heredoc_form heredoc = heredoc_form::none;
};

// The forms of a language.
const lexical_forms& forms_of(language l);

// The language of a file by its name (extension, or Rakefile and the like);
// text when the name says none.
language language_by_name(std::string_view base);

// The program a first line "#!" runs, by its base name, through env and
// env's options and settings (-S splitting the rest into words); empty when
// the line is no "#!" line. A UTF-8 byte order mark before "#!" is passed
// over. The result is a view into line: the program's arguments follow it.
std::string_view interpreter_of(std::string_view line);

// The language a first line names: "#!" and a program, through env (sh bash
// zsh ksh dash, python* pypy* and "uv run", ruby, perl, node, php); text
// when none.
language language_by_first_line(std::string_view line);

// The language --lang=NAME names; false for a name that is no language's.
bool language_named(std::string_view name, language& l);

// The names --lang takes, for messages and help: "c, java, ..., text".
std::string_view language_names();

}  // namespace morek
