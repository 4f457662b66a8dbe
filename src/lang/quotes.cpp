// Quotes and what stands before them: prefixes (r b f u8R @ $ #...), raw
// strings, runs of quotes, characters against lifetimes and digit separators.
#include <cstring>

#include "lex_bytes.hpp"
#include "lexer.hpp"
#include "reading.hpp"

namespace morek {

using namespace lex;

// Whether the quote at i stands inside a number (1'000'000): the token it
// ends starts with a digit. The digits already found to be a number's are
// not looked at again, so that a line of 1'1'1'... is read in linear time.
bool reading::digit_separator(const unsigned char* p, std::size_t i) {
  std::size_t w = i;
  while (w > number_to_ && (word_byte(p[w - 1]) || p[w - 1] == '\'' || p[w - 1] == '.')) --w;
  const bool number = (w == number_to_ && w > 0 && p[w - 1] == '\'') || digit(p[w]);
  if (number) number_to_ = i + 1;
  return number;
}

// A plain quote's literal in the text's code, read to its close on its
// line: past the close, or NONE where anything but its escapes and plain
// bytes comes first (a line's end, a CR, a trigraph, a Java \u, an escaped
// blank or line end), which the frame it opens reads instead.
std::size_t reading::plain_literal(const unsigned char* p, std::size_t i, std::size_t n, unsigned char escape) const {
  const lexical_forms& f = *forms_;
  const unsigned char q = p[i];
  for (std::size_t k = i + 1; k < n; ++k) {
    const unsigned char c = p[k];
    if (c == q) return k + 1;
    if (c == '\n' || c == '\r' || (c == '?' && f.trigraphs)) return NONE;
    if (c == escape && escape != 0) {
      const unsigned char e = k + 1 < n ? p[k + 1] : '\n';
      if (e == '\n' || e == '\r' || blank(e) || (e == 'u' && f.unicode_escapes)) return NONE;
      ++k;
    }
  }
  return NONE;
}

std::size_t reading::open_quote(const unsigned char* p, std::size_t i, std::size_t n) {
  const lexical_forms& f = *forms_;
  const unsigned char q = p[i];
  // Most quotes of most languages open the one form their quote has, and
  // most literals close on their line: the leaping scan reads such a one
  // at once.
  const literal_lexer::plain_quote& pq = set_->plain_[q == '"' ? 0 : q == '\'' ? 1 : 2];
  if (leap_ && top_ == 0 && !sjis_ && pq.plain && !(pq.raw_r && i > 0 && p[i - 1] == 'R') &&
      !(pq.triple && i + 2 < n && p[i + 1] == q && p[i + 2] == q) &&
      !(f.digit_separators && q == '\'' && i > 0 && (alpha(p[i - 1]) || digit(p[i - 1])))) {
    const std::size_t end = plain_literal(p, i, n, pq.escape);
    if (end != NONE) {
      closed_at_ = end;
      mark(i, end);
      return end;
    }
  }
  frame s;
  s.kind = string;
  s.close = q;
  std::size_t at = i + 1;  // past the opening
  const quote_form* form = q == '"' ? &f.dq : q == '\'' ? &f.sq : &f.bq;
  auto take = [&](const quote_form& qf) {
    s.spans = qf.spans_lines;
    s.escape = qf.escape;
    s.holds = qf.holds;
  };
  // A run of quotes, counted up to most, at most 255 (C#'s raw strings
  // count them; no form needs more). A form that needs three counts three:
  // counting on would cost a line of quotes most bytes for each three.
  auto run_of = [&](std::size_t from, std::size_t most) {
    std::size_t r = 0;
    while (from + r < n && p[from + r] == q && r < most) ++r;
    return r;
  };
  bool triple_allowed = (q == '"' && f.triple_dq) || (q == '\'' && f.triple_sq);
  interpolation prefix_holds = interpolation::none;
  bool raw_prefix = false;

  // Perl's and Ruby's $' $" $` are variables.
  if ((f.perl_forms || f.ruby_percent) && i > 0 && p[i - 1] == '$') return i + 1;
  // Perl's old package separator: a quote between a name and a letter joins
  // them ($main'x is $main::x). After a variable's name it always does;
  // after a function's name it opens a string (print'a'), and after a word
  // it does not know (isn't, Foo'Bar) it may do either.
  if (f.perl_forms && q == '\'' && i > 0 && word_byte(p[i - 1]) && i + 1 < n && (alpha(p[i + 1]) || p[i + 1] == '_')) {
    std::size_t w = i;
    while (w > 0 && (word_byte(p[w - 1]) || (p[w - 1] == ':' && w > 1 && p[w - 2] == ':'))) w -= p[w - 1] == ':' ? 2 : 1;
    if (w > 0 && std::strchr("$@&*#", p[w - 1]) != nullptr) return i + 1;
    const before b = what_before(p, i);
    if (b == before::operand || (b == before::either && either(i))) return i + 1;
  }
  if (f.ruby_percent && q == '`' && i > 0) {
    // The method ` itself: defined (def `), called (x.`) or named (:`).
    std::size_t j = i;
    while (j > 0 && blank(p[j - 1])) --j;
    if ((j < i && prefix_is(p, j, {"def"})) || (j == i && (p[i - 1] == '.' || p[i - 1] == ':'))) return i + 1;
  }
  if (f.yaml_forms) {
    // A quote opens a scalar only where a value starts (don't is plain).
    std::size_t j = i;
    while (j > 0 && blank(p[j - 1])) --j;
    if (j > 0 && std::strchr(":-[{,?\n", p[j - 1]) == nullptr) return i + 1;
    if (q == '\'') s.doubled = true;
  }
  if (f.shell_forms && q == '\'' && i > 0 && p[i - 1] == '$') {
    take(f.dq);  // $'...' has C's escapes
    s.holds = interpolation::none;
    push(s);
    note_open(i - 1);
    return at;
  }
  if (f.digit_separators && q == '\'' && i > 0 && (alpha(p[i - 1]) || digit(p[i - 1])) && digit_separator(p, i))
    return i + 1;  // 1'000'000
  if (f.rust_forms && q == '\'') {
    // 'x', '\n' and b'x' are characters; 'a and 'static are lifetimes and labels.
    std::size_t len = 1;
    if (i + 1 < n && p[i + 1] >= 0xC0) len = p[i + 1] >= 0xF0 ? 4 : p[i + 1] >= 0xE0 ? 3 : 2;
    for (std::size_t k = 1; k <= len && i + k < n; ++k)
      if (p[i + k] == '\n') len = 0;  // no character: the line ends first
    if (!(i + 1 < n && p[i + 1] == '\\') &&
        !(len > 0 && i + 1 + len < n && p[i + 1 + len] == '\'' && p[i + 1] != '\''))
      return i + 1;
    s.spans = false;
    s.escape = '\\';
    push(s);
    note_open(i);
    return at;
  }
  if (q == '"' && f.cpp_raw && i > 0 && p[i - 1] == 'R' && prefix_is(p, i, {"R", "u8R", "uR", "UR", "LR"})) {
    std::size_t d = i + 1;
    while (d < n && d - i - 1 < sizeof raw_delim_ && p[d] != '(' && !blank(p[d]) && p[d] != ')' && p[d] != '\\' &&
           p[d] != '\n')
      ++d;
    if (d < n && p[d] == '(') {
      raw_len_ = static_cast<unsigned char>(d - i - 1);
      std::memcpy(raw_delim_, p + i + 1, raw_len_);
      s.close = ')';
      s.cpp_raw = true;
      s.spans = true;
      push(s);
      note_open(i);
      return d + 1;
    }
  }
  if (q == '"' && (f.rust_forms || f.swift_raw)) {
    std::size_t j = i;
    while (j > 0 && p[j - 1] == '#') --j;
    const std::size_t hashes = i - j;
    const bool rust_raw = f.rust_forms && j > 0 && p[j - 1] == 'r' && prefix_is(p, j, {"r", "br", "cr"});
    const bool swift_raw = f.swift_raw && hashes > 0 && (j == 0 || !word_byte(p[j - 1]));
    if ((rust_raw || swift_raw) && hashes < 256) {
      s.hashes = static_cast<unsigned char>(hashes);
      s.spans = true;
      s.escape = 0;
      if (swift_raw && run_of(i, 3) == 3) {
        s.count = 3;
        at = i + 3;
      }
      push(s);
      note_open(j);
      return at;
    }
  }
  if (q == '"' && f.csharp_forms) {
    std::size_t j = i;
    bool at_sign = false, dollar = false;
    std::size_t dollars = 0;
    while (j > 0 && (p[j - 1] == '@' || p[j - 1] == '$')) {
      at_sign = at_sign || p[j - 1] == '@';
      dollar = dollar || p[j - 1] == '$';
      dollars += p[j - 1] == '$';
      --j;
    }
    const std::size_t r = run_of(i, 255);
    if (r >= 3 && r < 256) {
      take(f.triple);
      s.count = static_cast<unsigned char>(r);
      s.greedy = true;
      if (dollars > 0) {
        // $$"""{{x}}""": as many braces as dollars open code.
        s.holds = interpolation::raw_brace;
        s.braces = static_cast<unsigned char>(dollars < 255 ? dollars : 255);
      }
      push(s);
      note_open(j);
      return i + r;
    }
    triple_allowed = false;
    if (at_sign) {
      s.spans = true;
      s.doubled = true;
      s.escape = 0;
      s.holds = dollar ? interpolation::brace : interpolation::none;
      push(s);
      note_open(j);
      return at;
    }
    if (dollar) prefix_holds = interpolation::brace;
  }
  if (f.dart_raw && i > 0 && p[i - 1] == 'r' && (i == 1 || !word_byte(p[i - 2]))) raw_prefix = true;
  if (f.python_prefixes) {
    std::size_t j = i;
    while (j > 0 && alpha(p[j - 1])) --j;
    const std::size_t len = i - j;
    if (len > 0 && len <= 2 && (j == 0 || !word_byte(p[j - 1]))) {
      for (std::size_t k = j; k < i; ++k)
        if (p[k] == 'f' || p[k] == 'F' || p[k] == 't' || p[k] == 'T') prefix_holds = interpolation::brace;
    }
  }
  if (triple_allowed && run_of(i, 3) == 3) {
    take(f.triple);
    if (q == '\'' && f.sq.escape == 0) s.escape = 0;  // TOML's '''...''' is as raw as its '...'
    s.count = 3;
    s.greedy = f.triple_greedy;
    at = i + 3;
  } else {
    take(*form);
  }
  if (prefix_holds != interpolation::none) s.holds = prefix_holds;
  if (raw_prefix) {
    s.escape = 0;
    s.holds = interpolation::none;
  }
  push(s);
  note_open(i);
  return at;
}

}  // namespace morek
