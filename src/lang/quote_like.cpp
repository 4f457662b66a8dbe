// Literals that a word or a sign opens with a delimiter of the writer's
// choice: Perl's quote-like operators, Ruby's % literals and ?c characters.
#include <cstring>

#include "lex_bytes.hpp"
#include "reading.hpp"

namespace morek {

using namespace lex;

// The quote-like operator whose word ends at j (blanks after it skipped):
// its delimited parts after the first, or -1 when the word is no operator
// there. w gets where the word starts.
int reading::quote_like_op(const unsigned char* p, std::size_t j, std::size_t& w) const {
  w = j;
  while (w > 0 && alpha(p[w - 1])) --w;
  const std::string_view op(reinterpret_cast<const char*>(p + w), j - w);
  int parts;
  if (op == "q" || op == "qq" || op == "qw" || op == "qx" || op == "m" || op == "qr") {
    parts = 0;
  } else if (op == "s" || op == "tr" || op == "y") {
    parts = 1;
  } else {
    return -1;
  }
  // Not the operator: a variable, a method or a glob of that name ($s ->s
  // *s &s), an array's last index ($#s), a file test (-s), a hash's key
  // ({s} and s =>), a sub's name.
  if (w > 0 && (word_byte(p[w - 1]) || std::strchr("$@%&*>'#", p[w - 1]) != nullptr)) {
    // ...but after an operand % & * are operators ($x %q{2}).
    if (!(std::strchr("%&*", p[w - 1]) != nullptr && what_before(p, w - 1) == before::operand)) return -1;
  }
  if (w == closed_at_) return -1;  // the flags of what just closed: qr/a/s, m{a}x
  if (w > 1 && p[w - 1] == ':' && p[w - 2] == ':') return -1;
  if (w > 0 && p[w - 1] == '-' && op == "s") return -1;
  // A method's name after an arrow and blanks or line ends ($o -> q).
  std::size_t b = w;
  while (b > 0 && (blank(p[b - 1]) || p[b - 1] == '\n' || p[b - 1] == '\r')) --b;
  if (b < w && b > 1 && p[b - 1] == '>' && p[b - 2] == '-') return -1;
  return parts;
}

void reading::open_quote_like_part(std::size_t w, int parts, bool awaits) {
  frame s;
  s.kind = string;
  s.escape = '\\';
  s.spans = true;
  s.parts = static_cast<unsigned char>(parts);
  if (awaits) {
    // Its delimiter comes after blanks, line ends and comments.
    s.between = true;
    s.awaits = true;
  }
  push(s);
  note_open(w);
}

std::size_t reading::open_quote_like(const unsigned char* p, std::size_t i, std::size_t n) {
  // Perl's q qq qw qx m qr s tr y: any byte but a blank or a word's is the
  // delimiter, and brackets nest.
  std::size_t j = i;
  while (j > 0 && blank(p[j - 1])) --j;
  std::size_t w = j;
  const int parts = quote_like_op(p, j, w);
  if (parts < 0) return NONE;
  const unsigned char d = p[i];
  if (d == '=' && i + 1 < n && p[i + 1] == '>') return NONE;
  if (d == '#' && j < i) {
    // q # a comment, then the delimiter on a later line.
    open_quote_like_part(w, parts, true);
    in_line_comment_ = true;
    return i + 1;
  }
  std::size_t b = w;
  while (b > 0 && blank(p[b - 1])) --b;
  if (d == '}' && b > 0 && p[b - 1] == '{') return NONE;  // $h{ s }
  if (prefix_is(p, b, {"sub"})) return NONE;
  // Past blanks any byte delimits, even one that would end a statement or
  // a list: q ;a; and (q , 1,) are strings.
  open_quote_like_part(w, parts, false);
  frame& s = stack_[top_];
  s.open = closing_bracket(d) != 0 ? d : 0;
  s.close = s.open != 0 ? closing_bracket(d) : d;
  return i + 1;
}

void reading::quote_like_at_line_end(const unsigned char* p, std::size_t i) {
  // qq at a line's end: its delimiter opens on a later line (qq\n{a  b}).
  std::size_t j = i;
  while (j > line_begin_ && (blank(p[j - 1]) || p[j - 1] == '\r')) --j;
  std::size_t w = j;
  const int parts = quote_like_op(p, j, w);
  if (parts < 0) return;
  std::size_t b = w;
  while (b > line_begin_ && blank(p[b - 1])) --b;
  if (prefix_is(p, b, {"sub"})) return;
  open_quote_like_part(w, parts, true);
}

std::size_t reading::next_part(const unsigned char* p, std::size_t i, std::size_t n) {
  // Between s{a} and {b}: blanks, line ends and comments.
  frame& fr = stack_[top_];
  const unsigned char c = p[i];
  if (blank(c) || c == '\r') return i + 1;
  if (c == '#') {
    in_line_comment_ = true;
    return i + 1;
  }
  if (fr.awaits && c == '=' && i + 1 < n && p[i + 1] == '>') {
    // q
    //   => 1: the word was a hash's key after all.
    close_literal(i);
    return i;
  }
  fr.between = fr.awaits = false;
  fr.open = closing_bracket(c) != 0 ? c : 0;
  fr.close = fr.open != 0 ? closing_bracket(c) : c;
  fr.depth = 0;
  ++changes_;
  return i + 1;
}

std::size_t reading::ruby_percent(const unsigned char* p, std::size_t i, std::size_t n) {
  // %q() %w[] %() and the like; without a letter any punctuation may
  // delimit (%|a|, %!b!).
  const unsigned char t = i + 1 < n ? p[i + 1] : 0;
  const bool typed = std::strchr("qQwWiIrsx", t) != nullptr && t != 0;
  const unsigned char d = typed ? (i + 2 < n ? p[i + 2] : 0) : t;
  // A method's name after a dot: an argument may start after it, but not
  // with a blank (s.size % 2 divides).
  std::size_t j = i;
  while (j > 0 && blank(p[j - 1])) --j;
  std::size_t w = j;
  while (w > 0 && word_byte(p[w - 1])) --w;
  const bool after_method = w < j && w > 0 && p[w - 1] == '.' && (w < 2 || p[w - 2] != '.');
  if ((blank(d) || d == '\n') && (!typed || std::strchr("qQsrx", t) != nullptr) && !after_method &&
      what_before(p, i) == before::expression) {
    // Where an expression starts, a blank or a line end after % is its
    // delimiter too (x = %\ta  b\t); after an operand, % divides.
    frame s;
    s.kind = string;
    s.escape = '\\';
    s.close = d;
    s.depth = d == '\n';  // that newline opens it: the next one closes it
    s.holds = typed && t != 'Q' && t != 'r' && t != 'x' ? interpolation::none : interpolation::hash_brace;
    push(s);
    note_open(i);
    return i + (typed ? 2 : 1) + (d == '\n' ? 0 : 1);
  }
  const bool delim = d != 0 && !word_byte(d) && !blank(d) && d != '\n' && d != '\r';
  if (!delim) return i + 1;
  // After an operand % divides, x %q) and x %w] too; after a name and a
  // blank it opens a literal where the name is a method's (puts %( a)),
  // and divides where it is a local variable's. %= is an assignment but
  // where an expression starts (x = %=a=).
  const before b = what_before(p, i);
  if (d == '=' && !typed && b != before::expression) return i + 1;
  if (b == before::operand || (b == before::either && !either(i))) return i + 1;
  frame s;
  s.kind = string;
  s.escape = '\\';
  s.open = closing_bracket(d) != 0 ? d : 0;
  s.close = s.open != 0 ? closing_bracket(d) : d;
  s.holds = (typed && std::strchr("qwis", t) != nullptr) ? interpolation::none : interpolation::hash_brace;
  push(s);
  note_open(i);
  return i + (typed ? 3 : 2);
}

std::size_t reading::ruby_question(const unsigned char* p, std::size_t i, std::size_t n) {
  // ?a ?' ?" ?# ?\n are characters where an expression starts; after an
  // operand '?' asks (a ? b : c).
  if (i + 1 >= n || blank(p[i + 1]) || p[i + 1] == '\n' || p[i + 1] == '\r') return i + 1;
  std::size_t k = i + 1;
  if (p[k] == '\\') {
    k += 2;
    if (k <= n && p[k - 1] == 'u' && k < n && p[k] == '{') {
      while (k < n && p[k] != '}' && p[k] != '\n') ++k;
      if (k < n && p[k] == '}') ++k;
    } else {
      while (k < n && word_byte(p[k]) && k - i < 8) ++k;  // \u00e9, \M-a, \C-a
      if (k < n && p[k] == '-' && k + 1 < n && !blank(p[k + 1])) k += 2;
    }
  } else {
    ++k;
    while (k < n && p[k] >= 0x80 && p[k] < 0xC0) ++k;  // a character of several bytes
    if (word_byte(p[i + 1]) && k < n && word_byte(p[k])) return i + 1;  // ?ab is no character
  }
  if (k > n) return i + 1;
  switch (what_before(p, i)) {
    case before::operand:
      return i + 1;
    case before::expression:
      return k;
    case before::either:
      return either(i) ? k : i + 1;
  }
  return i + 1;
}

}  // namespace morek
