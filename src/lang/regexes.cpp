// Where an expression may start, by what stands before a byte, and what a
// '/' opens there: a comment, a regular expression, or nothing (a division,
// Perl's defined-or, a special variable).
#include <cstring>

#include "lex_bytes.hpp"
#include "lexer.hpp"
#include "reading.hpp"

namespace morek {

using namespace lex;

namespace {

// Words after which an expression starts.
bool expression_keyword(regex_form r, std::string_view w) {
  switch (r) {
    case regex_form::js:
      return one_of(w, {"return", "typeof", "instanceof", "in", "of", "new", "delete", "void", "throw", "case", "do",
                        "else", "yield", "await"});
    case regex_form::ruby:
      return one_of(w, {"if", "unless", "while", "until", "and", "or", "not", "return", "when", "case", "then", "elsif",
                        "do", "else", "begin", "in", "yield", "break", "next"});
    case regex_form::perl:
      // Perl's operators that are words, and its functions that take a
      // list or an expression (a pattern among them).
      return one_of(w, {"if",      "unless", "while",   "until",  "and",     "or",      "not",    "xor",     "x",
                        "lt",      "gt",     "le",      "ge",     "eq",      "ne",      "cmp",    "return",  "split",
                        "grep",    "map",    "join",    "push",   "unshift", "print",   "printf", "say",     "die",
                        "warn",    "when",   "foreach", "for",    "defined", "ref",     "scalar", "lc",      "uc",
                        "lcfirst", "ucfirst", "length", "exists", "delete",  "local",   "my",     "our",     "do",
                        "eval",    "sort",   "reverse", "keys",   "values",  "each",    "sprintf", "pack",   "unpack",
                        "open",    "close",  "binmode", "chomp",  "chop",    "chdir",   "mkdir",  "rmdir",   "unlink",
                        "require", "bless",  "exec",    "system", "exit",    "index",   "rindex", "substr",  "splice",
                        "abs",     "int",    "hex",     "oct",    "ord",     "chr",     "sqrt",   "quotemeta", "glob"});
    default:
      return false;
  }
}

// Perl's functions that take nothing: what follows them is an operator.
bool perl_term(std::string_view w) {
  return one_of(w, {"time", "times", "wait", "wantarray", "getppid", "fork", "__FILE__", "__LINE__", "__PACKAGE__",
                    "__SUB__"});
}

}  // namespace

reading::before reading::what_before(const unsigned char* p, std::size_t i) const {
  const regex_form r = forms_->regex;
  std::size_t j = i;
  while (j > 0 && (blank(p[j - 1]) || p[j - 1] == '\r')) --j;
  if (j == 0 || p[j - 1] == '\n') return last_operand_ ? before::operand : before::expression;
  const unsigned char c = p[j - 1];
  // Ruby: an operator that is a method's name (def /, def %, :/ and :%)
  // divides nothing and opens nothing.
  if (r == regex_form::ruby && ((j < i && prefix_is(p, j, {"def"})) ||
                                (j == i && c == ':' && (j < 2 || (!word_byte(p[j - 2]) && p[j - 2] != ':')))))
    return before::operand;
  if (c == ']' || c == '"' || c == '\'' || c == '`') return before::operand;
  if (c == ')' || c == '}') {
    // JavaScript: after if (...), while (...) or a block, an expression
    // starts; after a call or an object, an operator.
    return r == regex_form::js ? before::either : before::operand;
  }
  if (r == regex_form::js && (c == '+' || c == '-') && j > 1 && p[j - 2] == c) return before::operand;  // a++ / 2
  const bool js = r == regex_form::js;
  if (r == regex_form::perl && c == '>') {
    // Perl's readline <FH>, <$fh> and <>: a term.
    std::size_t k = j - 1;
    while (k > 0 && word_byte(p[k - 1])) --k;
    if (k > 0 && p[k - 1] == '$') --k;
    if (k > 0 && p[k - 1] == '<' && !(k > 1 && p[k - 2] == '<' && k + 1 < j)) return before::operand;
  }
  if (!word_byte(c) && !(c == '$' && js)) return before::expression;
  std::size_t w = j;
  while (w > 0 && (word_byte(p[w - 1]) || (p[w - 1] == '$' && js))) --w;
  if (digit(p[w])) return before::operand;
  const std::string_view word(reinterpret_cast<const char*>(p + w), j - w);
  const bool after_dot = w > 0 && p[w - 1] == '.' && !(w > 1 && p[w - 2] == '.');
  switch (r) {
    case regex_form::js:
      // A keyword after '.' is a property's name (o.in / 2), and after '#'
      // a private one (this.#return / 2).
      if (after_dot || (w > 0 && p[w - 1] == '#')) return before::operand;
      return expression_keyword(r, word) ? before::expression : before::operand;
    case regex_form::perl:
      // A variable ($x, $#a, $#{a}, $#$x), or a method's name after ->;
      // a function's name, and what follows it an argument.
      if (w > 0 && std::strchr("$@%&#", p[w - 1]) != nullptr) return before::operand;
      if (w > 1 && p[w - 1] == '>' && p[w - 2] == '-') return before::operand;
      if (w > 1 && p[w - 1] == '{' && (p[w - 2] == '$' || p[w - 2] == '@')) return before::operand;
      if (expression_keyword(r, word)) return before::expression;
      if (perl_term(word)) return before::operand;
      return before::either;
    case regex_form::ruby:
      // A variable (@a, $a); a keyword; a name that a blank separates from
      // what follows is a method's, whose argument starts here, or a local
      // variable's (never after a '.').
      if (w > 0 && (p[w - 1] == '@' || p[w - 1] == '$')) return before::operand;
      if (!after_dot && expression_keyword(r, word)) return before::expression;
      if (j == i) return before::operand;
      return after_dot ? before::expression : before::either;
    default:
      return before::operand;
  }
}

bool reading::term_after_close(const unsigned char* p, std::size_t i, std::size_t n) const {
  // The flags, then blanks; a word that is no operator, a number or a
  // quote right after a regular expression is no program.
  std::size_t k = i;
  while (k < n && alpha(p[k])) ++k;
  const std::size_t flags_end = k;
  while (k < n && blank(p[k])) ++k;
  if (k >= n || k == flags_end) return false;
  const unsigned char c = p[k];
  if (c == '"' || c == '\'' || c == '`' || digit(c)) return true;
  if (!word_byte(c)) return false;
  std::size_t e = k;
  while (e < n && word_byte(p[e])) ++e;
  const std::string_view w(reinterpret_cast<const char*>(p + k), e - k);
  switch (forms_->regex) {
    case regex_form::js:
      return (w[0] != 'i' && w[0] != 'o') || !one_of(w, {"in", "instanceof", "of"});
    case regex_form::ruby:
      return !one_of(w, {"if", "unless", "while", "until", "and", "or", "then", "do", "rescue", "end"});
    case regex_form::perl:
      return !one_of(w, {"if", "unless", "while", "until", "and", "or", "xor", "x", "for", "foreach", "eq", "ne", "lt",
                         "gt", "le", "ge", "cmp", "isa"});
    default:
      return false;
  }
}

bool reading::regex_dies_on_line(const unsigned char* p, std::size_t i, std::size_t n) const {
  // JavaScript's regular expression is the one that dies on its line: read
  // as the copy would (see run's string frames), with nothing in it that
  // forks again, up to its close or the line's end. A reading that dies
  // cuts its line's copies short where it died: where this one might die
  // before the copy is seen to (a '/' or a JSX element it reads before
  // then), the copy is made.
  const lexical_forms& f = *forms_;
  if (f.regex != regex_form::js || f.unicode_escapes || f.trigraphs || sjis_) return false;
  bool in_class = false;
  for (std::size_t k = find_any(p, i + 1, n, set_->regex_stops_); k < n; k = find_any(p, k + 1, n, set_->regex_stops_)) {
    const unsigned char c = p[k];
    if (c == '\n') return true;
    if (c == '<' && f.jsx) return false;
    if (c == '\\') {
      // An escaped line end goes on over the next line: not seen to die.
      if (k + 1 >= n || p[k + 1] == '\n' || p[k + 1] == '/' || (p[k + 1] == '<' && f.jsx)) return false;
      ++k;
    } else if (c == '[' || c == ']') {
      in_class = c == '[';
    } else if (c == '/') {
      // What the term is read from after the close (flags, blanks and a
      // word) holds neither a '/' nor a '<', nor a line's end before it.
      return !in_class && term_after_close(p, k + 1, n);
    }
  }
  return false;  // the line goes on in the next call
}

std::size_t reading::slash(const unsigned char* p, std::size_t i, std::size_t n) {
  const lexical_forms& f = *forms_;
  auto next_is = [&](unsigned char b) { return i + 1 < n && p[i + 1] == b; };
  if (f.rust_forms && next_is('/') && i + 2 < n && (p[i + 2] == '!' || (p[i + 2] == '/' && !(i + 3 < n && p[i + 3] == '/')))) {
    // A doc comment is the string of a #[doc] attribute: kept.
    const std::size_t e = line_end(p, i, n);
    const std::size_t to = e > i && p[e - 1] == '\n' ? e - 1 : e;
    if (strings_ == 0) mark(i, to);
    return to;
  }
  // A block comment kept whole, as a string that "*/" closes (nested where
  // comments nest); its text goes on from past.
  auto kept_block = [&](std::size_t past) {
    frame doc;
    doc.kind = string;
    doc.close = '*';
    doc.slash_after = true;
    push(doc);
    note_open(i);
    return past;
  };
  if (f.rust_forms && next_is('*') && i + 2 < n &&
      (p[i + 2] == '!' || (p[i + 2] == '*' && !(i + 3 < n && (p[i + 3] == '*' || p[i + 3] == '/')))))
    return kept_block(i + 3);
  const regex_form r = f.regex;
  // Perl's $/ and Ruby's are variables.
  if ((r == regex_form::perl || r == regex_form::ruby) && i > 0 && p[i - 1] == '$') return i + 1;
  if (!f.line_comment.empty() && next_is('/')) {
    if (r != regex_form::none) last_operand_ = operand_before(p, i);
    in_line_comment_ = true;
    // Go's directives (//go:generate, //go:embed, //line) read words of
    // their own, whose blanks are theirs.
    keep_comment_ = set_->comments_kept_ || (f.lang == language::go && go_directive(p, i + 2, n, true));
    if (keep_comment_) mark(i, i + 2);  // the rest as the comment is read
    return i + 2;
  }
  if (f.block_comments && next_is('*') && (set_->comments_kept_ || (f.lang == language::go && go_directive(p, i + 2, n, false))))
    return kept_block(i + 2);
  if (f.block_comments && next_is('*')) {
    frame cm;
    cm.kind = comment;
    push(cm);
    return i + 2;
  }
  if (f.swift_raw && i > 0 && p[i - 1] == '#') {
    // Swift's extended regular expression #/.../#, closed by '/' and as
    // many '#', on one line or more.
    std::size_t j = i;
    while (j > 0 && p[j - 1] == '#') --j;
    if ((j == 0 || !word_byte(p[j - 1])) && i - j < 256) {
      frame s;
      s.kind = string;
      s.close = '/';
      s.hashes = static_cast<unsigned char>(i - j);
      push(s);
      note_open(j);
      return i + 1;
    }
  }
  if (r == regex_form::none) return i + 1;
  switch (what_before(p, i)) {
    case before::operand:
      // Perl: print $fh /a/ matches, as print's filehandle and a pattern.
      if (r == regex_form::perl && i + 1 < n && !blank(p[i + 1]) && p[i + 1] != '/' && p[i + 1] != '=' &&
          perl_print_handle_before(p, i))
        break;
      // Perl's // and //= after a term are defined-or.
      return r == regex_form::perl && next_is('/') ? i + 2 : i + 1;
    case before::expression:
      if (r == regex_form::ruby && (i + 1 >= n || blank(p[i + 1]) || p[i + 1] == '=')) {
        // After a method's name that follows a dot, a blank, '/' and a
        // blank divide (s.size / 2); '/' then a byte opens its argument.
        std::size_t j = i;
        while (j > 0 && blank(p[j - 1])) --j;
        std::size_t w = j;
        while (w > 0 && word_byte(p[w - 1])) --w;
        if (w < j && w > 0 && p[w - 1] == '.') return i + 1;
      }
      if (r == regex_form::js) {
        // yield, await and of are keywords only in generators, async
        // functions and for (... of ...); elsewhere they may name variables
        // (var await = 4; await / 2): both.
        std::size_t j = i;
        while (j > 0 && blank(p[j - 1])) --j;
        if (prefix_is(p, j, {"yield", "await", "of"}) && !either(i)) return i + 1;
      }
      break;
    case before::either:
      // Ruby reads a name, a blank and '/' then a blank as a division.
      if (r == regex_form::ruby && (i + 1 >= n || blank(p[i + 1]) || p[i + 1] == '=')) return i + 1;
      if (r == regex_form::perl && next_is('/')) return i + 2;
      // A copy that would die on this line changes nothing but the room
      // that forks take: it is not made.
      if (leap_ && !take_other_ && regex_dies_on_line(p, i, n) && set_->fork_that_dies(line_begin_))
        return i + 1;
      if (!either(i)) return i + 1;
      break;
  }
  frame s;
  s.kind = string;
  s.close = '/';
  s.escape = '\\';
  s.regex = true;
  if (r == regex_form::js) {
    // On one line; a class may hold the close.
    s.spans = false;
    s.dies_at_eol = true;
    s.classes = true;
  } else {
    s.holds = r == regex_form::ruby ? interpolation::hash_brace : interpolation::none;
  }
  push(s);
  note_open(i);
  return i + 1;
}

}  // namespace morek
