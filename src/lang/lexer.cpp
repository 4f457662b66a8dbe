#include "lexer.hpp"

#include <cstring>
#include <initializer_list>
#include <string_view>

#include "simd.hpp"

namespace morek {

namespace {

constexpr std::size_t NONE = SIZE_MAX;
// How far the lexer looks along a line for one decision, so that a line of
// any length is lexed in time linear in its length: a regular expression
// longer than this is taken for a division, a run of digits for a number.
constexpr std::size_t LOOK_LIMIT = 4096;

bool blank(unsigned char c) { return c == ' ' || c == '\t'; }
bool alpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool digit(unsigned char c) { return c >= '0' && c <= '9'; }
bool word_byte(unsigned char c) { return alpha(c) || digit(c) || c == '_' || c >= 0x80; }

// Sets (or clears) bits [from, to) of a mask.
void set_bits(std::uint64_t* m, std::size_t from, std::size_t to, bool on) {
  while (from < to) {
    const std::size_t w = from / 64;
    const std::size_t lo = from % 64;
    const std::size_t hi = to - 64 * w < 64 ? to - 64 * w : 64;
    const std::uint64_t bits = (hi == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << hi) - 1) & ~((std::uint64_t{1} << lo) - 1);
    m[w] = on ? m[w] | bits : m[w] & ~bits;
    from = 64 * w + hi;
  }
}

// A set of bytes to look for, each also spread over a vector.
struct byte_set {
  unsigned char bytes[24];
  int count = 0;
#if defined(MOREK_SSE2)
  __m128i spread[24];
#endif
  void add(unsigned char c) {
#if defined(MOREK_SSE2)
    spread[count] = _mm_set1_epi8(static_cast<char>(c));
#endif
    bytes[count++] = c;
  }
};

// The first of p[i, n) that is in the set, or n. Reads up to 15 bytes past n.
std::size_t find_any(const unsigned char* p, std::size_t i, std::size_t n, const byte_set& set) {
#if defined(MOREK_SSE2)
  while (i < n) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i hit = _mm_cmpeq_epi8(v, set.spread[0]);
    for (int j = 1; j < set.count; ++j) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, set.spread[j]));
    const auto m = static_cast<unsigned>(_mm_movemask_epi8(hit));
    if (m != 0) {
      i += static_cast<std::size_t>(__builtin_ctz(m));
      return i < n ? i : n;
    }
    i += 16;
  }
  return n;
#else
  for (; i < n; ++i)
    for (int j = 0; j < set.count; ++j)
      if (p[i] == set.bytes[j]) return i;
  return n;
#endif
}

unsigned char closing_bracket(unsigned char c) {
  switch (c) {
    case '(':
      return ')';
    case '[':
      return ']';
    case '{':
      return '}';
    case '<':
      return '>';
    default:
      return 0;
  }
}

std::string_view word_before(const unsigned char* p, std::size_t end) {
  std::size_t w = end;
  while (w > 0 && word_byte(p[w - 1])) --w;
  return {reinterpret_cast<const char*>(p + w), end - w};
}

// Whether the bytes before p + at are one of the words, as a whole word.
bool prefix_is(const unsigned char* p, std::size_t at, std::initializer_list<std::string_view> words) {
  const std::string_view w = word_before(p, at);
  for (const std::string_view c : words)
    if (w == c) return true;
  return false;
}

// Whether the byte at i stands after a word and a blank: where no blank
// follows it either, Ruby reads it as the start of the word's argument
// (puts /x/, puts %(x)), not as a division or a modulo.
bool argument_of_word(const unsigned char* p, std::size_t i) {
  if (i == 0 || !blank(p[i - 1])) return false;
  std::size_t j = i;
  while (j > 0 && blank(p[j - 1])) --j;
  return j > 0 && word_byte(p[j - 1]);
}

bool keyword_before_regex(regex_form r, std::string_view w) {
  static constexpr std::string_view js[] = {"return", "typeof", "instanceof", "in",   "of",    "new",  "delete",
                                            "void",   "throw",  "case",       "do",   "else",  "yield", "await"};
  static constexpr std::string_view ruby[] = {"if",   "unless", "while", "until", "and",  "or",
                                              "not",  "return", "when",  "case",  "then", "elsif"};
  if (r == regex_form::js) {
    for (const std::string_view k : js)
      if (w == k) return true;
  } else {
    for (const std::string_view k : ruby)
      if (w == k) return true;
  }
  return false;
}

}  // namespace

void literal_lexer::start(language l) {
  forms_ = &forms_of(l);
  const lexical_forms& f = *forms_;
  stack_[0] = frame{};
  top_ = 0;
  strings_ = 0;
  docs_ = docs_ready_ = 0;
  whole_line_ = in_line_comment_ = in_pod_ = gave_up_ = last_operand_ = false;
  block_indent_ = block_next_ = -1;
  raw_len_ = 0;
  // The bytes that can change anything in code.
  code_count_ = 0;
  auto want = [&](unsigned char c) { code_set_[code_count_++] = c; };
  line_rules_ = !f.pod_open.empty() || f.data_end || f.yaml_forms;
  // A newline in code matters only where a line's start does, or what ends
  // before it (a regular expression needs to know).
  if (line_rules_ || f.heredoc != heredoc_form::none || f.regex != regex_form::none) want('\n');
  if (l == language::text) return;
  if (f.dq.opens) want('"');
  if (f.sq.opens || f.rust_forms) want('\'');
  if (f.bq.opens) want('`');
  if (!f.line_comment.empty() || f.block_comments || f.regex != regex_form::none) want('/');
  if (f.hash_comments) want('#');
  if (f.shell_forms) want('\\');
  if (f.heredoc != heredoc_form::none) want('<');
  if (f.ruby_percent) want('%');
  if (f.php_tags) want('?');
  if (f.yaml_forms) {
    want('|');
    want('>');
  }
  if (f.perl_forms)
    for (const unsigned char c : {'{', '(', '[', '|', '!', ','}) want(c);
  if (f.php_tags) {
    // The text starts as output, up to the first "<?".
    frame h;
    h.kind = string;
    h.close = '<';
    h.html = true;
    push(h);
  }
}

void literal_lexer::push(const frame& f) {
  if (top_ + 1 >= MAX_DEPTH) {
    gave_up_ = true;
    return;
  }
  stack_[++top_] = f;
  if (f.kind == string) ++strings_;
  ++changes_;
}

void literal_lexer::pop() {
  if (stack_[top_].kind == string) --strings_;
  --top_;
  ++changes_;
}

std::size_t literal_lexer::begin_line(const unsigned char* p, std::size_t i, std::size_t n, std::uint64_t* lit,
                                      std::size_t base) {
  const lexical_forms& f = *forms_;
  const void* nl = std::memchr(p + i, '\n', n - i);
  const std::size_t e = nl != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - p) + 1 : n;
  auto keep_whole = [&] {
    set_bits(lit, base + i, base + e, true);
    whole_line_ = nl == nullptr;
    return e;
  };
  auto starts = [&](std::string_view w) { return e - i >= w.size() && std::memcmp(p + i, w.data(), w.size()) == 0; };
  if (docs_ready_ > 0) {
    if (ends_heredoc(p + i, e - i)) {
      --docs_;
      --docs_ready_;
      std::memmove(doc_, doc_ + 1, static_cast<std::size_t>(docs_) * sizeof doc_[0]);
    }
    return keep_whole();
  }
  if (in_pod_) {
    if (starts(f.pod_close)) in_pod_ = false;
    return keep_whole();
  }
  if (top_ != 0) return i;
  if (!f.pod_open.empty() && starts(f.pod_open)) {
    const std::size_t w = i + f.pod_open.size();
    if (f.pod_open.size() > 1 ? w == e || blank(p[w]) || p[w] == '\n' : w < e && alpha(p[w])) {
      in_pod_ = true;
      return keep_whole();
    }
  }
  if (f.data_end) {
    for (const std::string_view end : {"__END__", "__DATA__"}) {
      const std::size_t w = i + end.size();
      if (starts(end) && (w == e || p[w] == '\n' || p[w] == '\r')) {
        gave_up_ = true;
        return i;
      }
    }
  }
  if (f.yaml_forms) {
    std::size_t k = i;
    if (block_indent_ >= 0) {
      // In a block scalar while blank or indented past its parent's line.
      while (k < e && p[k] == ' ') ++k;
      if (k == e || p[k] == '\n' || p[k] == '\r' || p[k] == '\t' || static_cast<long>(k - i) > block_indent_)
        return keep_whole();
      block_indent_ = -1;
    }
    // Only the indentation, and the blanks that separate a key from its
    // value, are code: a tab or a run of blanks elsewhere may be a scalar's own.
    for (k = i; k < e && blank(p[k]);) ++k;
    set_bits(lit, base + k, base + e, true);
    for (std::size_t c = k; c + 1 < e && std::strchr("\"'#{[\n", p[c]) == nullptr; ++c) {
      if (p[c] == ':' && blank(p[c + 1])) {
        std::size_t v = c + 1;
        while (v < e && blank(p[v])) ++v;
        if (v < e && p[v] != '\n' && p[v] != '\r' && p[v] != '#') set_bits(lit, base + c + 1, base + v, false);
        break;
      }
    }
  }
  return i;
}


bool literal_lexer::operand_before(const unsigned char* p, std::size_t i) const {
  std::size_t j = i;
  while (j > 0 && (blank(p[j - 1]) || p[j - 1] == '\r')) --j;
  if (j == 0 || p[j - 1] == '\n') return last_operand_;
  const unsigned char c = p[j - 1];
  if (c == ')' || c == ']' || c == '"' || c == '\'' || c == '`') return true;
  if (c == '}') return forms_->regex != regex_form::js;
  if (!word_byte(c) && !(c == '$' && forms_->regex == regex_form::js)) return false;
  std::size_t w = j;
  while (w > 0 && (word_byte(p[w - 1]) || (p[w - 1] == '$' && forms_->regex == regex_form::js))) --w;
  if (digit(p[w])) return true;
  const std::string_view word(reinterpret_cast<const char*>(p + w), j - w);
  if (forms_->regex == regex_form::perl) {
    // A variable, or a method's name after ->; a bare word is a function,
    // and what follows it an argument.
    if (w > 0 && std::strchr("$@%&", p[w - 1]) != nullptr) return true;
    return w > 1 && p[w - 1] == '>' && p[w - 2] == '-';
  }
  return !keyword_before_regex(forms_->regex, word);
}

void literal_lexer::note_open(std::size_t at, std::size_t& lit_from) const {
  if (strings_ == 1 && lit_from == NONE) lit_from = at;
}

std::size_t literal_lexer::open_quote(const unsigned char* p, std::size_t i, std::size_t n, std::size_t& lit_from) {
  const lexical_forms& f = *forms_;
  const unsigned char q = p[i];
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
  // A run of quotes, counted up to 255 (C#'s raw strings count them; no
  // form needs more, and the bound keeps a line of quotes linear).
  auto run_of = [&](std::size_t from) {
    std::size_t r = 0;
    while (from + r < n && p[from + r] == q && r < 255) ++r;
    return r;
  };
  bool triple_allowed = (q == '"' && f.triple_dq) || (q == '\'' && f.triple_sq);
  interpolation prefix_holds = interpolation::none;
  bool raw_prefix = false;

  if (f.perl_forms && i > 0 && p[i - 1] == '$') return i + 1;  // $' and $" are variables
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
    note_open(i - 1, lit_from);
    return at;
  }
  if (f.digit_separators && q == '\'' && i > 0 && (alpha(p[i - 1]) || digit(p[i - 1]))) {
    std::size_t w = i;
    while (w > 0 && i - w < LOOK_LIMIT && (word_byte(p[w - 1]) || p[w - 1] == '\'' || p[w - 1] == '.')) --w;
    if (digit(p[w]) || i - w >= LOOK_LIMIT) return i + 1;  // 1'000'000
  }
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
    note_open(i, lit_from);
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
      note_open(i, lit_from);
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
      if (swift_raw && run_of(i) >= 3) {
        s.count = 3;
        at = i + 3;
      }
      push(s);
      note_open(j, lit_from);
      return at;
    }
  }
  if (q == '"' && f.csharp_forms) {
    std::size_t j = i;
    bool at_sign = false, dollar = false;
    while (j > 0 && (p[j - 1] == '@' || p[j - 1] == '$')) {
      at_sign = at_sign || p[j - 1] == '@';
      dollar = dollar || p[j - 1] == '$';
      --j;
    }
    const std::size_t r = run_of(i);
    if (r >= 3 && r < 256) {
      take(f.triple);
      s.count = static_cast<unsigned char>(r);
      s.greedy = true;
      push(s);
      note_open(j, lit_from);
      return i + r;
    }
    triple_allowed = false;
    if (at_sign) {
      s.spans = true;
      s.doubled = true;
      s.escape = 0;
      s.holds = dollar ? interpolation::brace : interpolation::none;
      push(s);
      note_open(j, lit_from);
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
  if (triple_allowed && run_of(i) >= 3) {
    take(f.triple);
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
  note_open(i, lit_from);
  return at;
}

std::size_t literal_lexer::open_heredoc(const unsigned char* p, std::size_t i, std::size_t n) {
  const heredoc_form form = forms_->heredoc;
  std::size_t k = i + 2;
  heredoc d{};
  d.strip = strip_none;
  if (form == heredoc_form::php) {
    if (k >= n || p[k] != '<') return i + 1;
    ++k;
    while (k < n && blank(p[k])) ++k;
    d.strip = strip_php;
  } else if (form == heredoc_form::shell) {
    if ((k < n && p[k] == '<') || (i > 0 && p[i - 1] == '<')) return i + 2;  // <<< is a here-string
    if (k < n && p[k] == '-') {
      d.strip = strip_tabs;
      ++k;
    }
    while (k < n && blank(p[k])) ++k;
  } else {
    if (k < n && (p[k] == '~' || (p[k] == '-' && form == heredoc_form::ruby))) {
      d.strip = strip_blanks;
      ++k;
    }
    if (form == heredoc_form::perl && d.strip == strip_none && k < n && blank(p[k]) && k + 1 < n &&
        (p[k + 1] == '"' || p[k + 1] == '\''))
      ++k;
    // A bare word after a plain << must be a capital's, else << shifts.
    const bool quoted = k < n && (p[k] == '"' || p[k] == '\'' || p[k] == '`');
    const bool bare = k < n && (alpha(p[k]) || p[k] == '_');
    if (!quoted && !(bare && (d.strip != strip_none || !(p[k] >= 'a' && p[k] <= 'z')))) return i + 2;
  }
  // The word, its quotes taken off.
  std::size_t len = 0;
  bool too_long = false;
  auto add = [&](unsigned char c) {
    if (len < sizeof d.word) {
      d.word[len++] = static_cast<char>(c);
    } else {
      too_long = true;
    }
  };
  while (k < n && !too_long) {
    const unsigned char c = p[k];
    if (c == '\'' || c == '"' || c == '`') {
      ++k;
      while (k < n && p[k] != c && p[k] != '\n' && !too_long) add(p[k++]);
      if (k >= n || p[k] != c) {
        len = 0;
        break;
      }
      ++k;
      if (form != heredoc_form::shell) break;
    } else if (c == '\\' && form == heredoc_form::shell && k + 1 < n && p[k + 1] != '\n') {
      add(p[k + 1]);
      k += 2;
    } else if (form == heredoc_form::shell ? (blank(c) || std::strchr(";&|<>()\n\r", c) != nullptr) : !word_byte(c)) {
      break;
    } else {
      add(c);
      ++k;
    }
  }
  if (len == 0) {
    // No word: << that shifts, or a form this lexer does not know; the
    // shell's is always a here-document, so keep the rest.
    if (form == heredoc_form::shell) gave_up_ = true;
    return i + 2;
  }
  if (too_long || docs_ >= MAX_DOCS) {
    gave_up_ = true;
    return k;
  }
  d.len = static_cast<unsigned char>(len);
  doc_[docs_++] = d;
  return k;
}

bool literal_lexer::ends_heredoc(const unsigned char* p, std::size_t n) const {
  const heredoc& d = doc_[0];
  std::size_t k = 0;
  if (d.strip == strip_tabs)
    while (k < n && p[k] == '\t') ++k;
  if (d.strip == strip_blanks || d.strip == strip_php)
    while (k < n && blank(p[k])) ++k;
  if (n - k < d.len || std::memcmp(p + k, d.word, d.len) != 0) return false;
  k += d.len;
  if (d.strip == strip_php) return k >= n || !word_byte(p[k]);
  return k == n || (k + 1 == n && p[k] == '\n');
}

std::size_t literal_lexer::open_regex(const unsigned char* p, std::size_t i, std::size_t n, bool& is_regex) {
  is_regex = false;
  bool operand = operand_before(p, i);
  if (operand && forms_->regex == regex_form::ruby && argument_of_word(p, i) && i + 1 < n && !blank(p[i + 1]) &&
      p[i + 1] != '=')
    operand = false;
  if (operand) return i + 1;
  bool in_class = false;
  const std::size_t limit = n - i > LOOK_LIMIT ? i + LOOK_LIMIT : n;
  std::size_t j = i + 1;
  for (; j < limit && p[j] != '\n'; ++j) {
    if (p[j] == '\\') {
      if (j + 1 < limit && p[j + 1] == '\n') {
        ++j;  // the line ends first
        break;
      }
      ++j;
    } else if (p[j] == '[') {
      in_class = true;
    } else if (p[j] == ']') {
      in_class = false;
    } else if (p[j] == '/' && !in_class) {
      is_regex = j > i + 1 || forms_->regex != regex_form::js;
      return is_regex ? j + 1 : i + 1;
    }
  }
  if (forms_->regex != regex_form::js && (j >= n || p[j] == '\n')) {
    // Ruby's and Perl's expressions span lines (under /x): the rest is one.
    frame s;
    s.kind = string;
    s.close = '/';
    s.escape = '\\';
    s.holds = forms_->regex == regex_form::ruby ? interpolation::hash_brace : interpolation::none;
    push(s);
  }
  return i + 1;
}

std::size_t literal_lexer::open_quote_like(const unsigned char* p, std::size_t i, std::size_t& lit_from) {
  // Perl's q{} qq{} qw{} qx{} m{} qr{} s{}{} tr{}{} y{}{}, with any of the
  // delimiters this lexer is sure of.
  std::size_t j = i;
  while (j > 0 && blank(p[j - 1])) --j;
  std::size_t w = j;
  while (w > 0 && alpha(p[w - 1])) --w;
  const std::string_view op(reinterpret_cast<const char*>(p + w), j - w);
  if (op.empty() || (w > 0 && (word_byte(p[w - 1]) || std::strchr("$@%&*>", p[w - 1]) != nullptr))) return NONE;
  int parts;
  if (op == "q" || op == "qq" || op == "qw" || op == "qx" || op == "m" || op == "qr") {
    parts = 0;
  } else if (op == "s" || op == "tr" || op == "y") {
    parts = 1;
  } else {
    return NONE;
  }
  frame s;
  s.kind = string;
  s.escape = '\\';
  s.spans = true;
  s.open = closing_bracket(p[i]) != 0 ? p[i] : 0;
  s.close = s.open != 0 ? closing_bracket(p[i]) : p[i];
  s.parts = static_cast<unsigned char>(parts);
  push(s);
  note_open(w, lit_from);
  return i + 1;
}

template <bool Skip>
void literal_lexer::scan(const unsigned char* p, std::size_t n, bool line_start, std::uint64_t* lit,
                         std::size_t base) {
  set_bits(lit, base, base + n, false);
  auto mark = [&](std::size_t a, std::size_t b) {
    if (b > a) set_bits(lit, base + a, base + b, true);
  };
  if (n == 0) return;
  const lexical_forms& f = *forms_;
  if (gave_up_) {
    mark(0, n);
    return;
  }
  std::size_t i = 0;
  if (whole_line_) {
    // The rest of a line that is kept whole, from an earlier piece.
    const void* nl = std::memchr(p, '\n', n);
    i = nl != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - p) + 1 : n;
    mark(0, i);
    whole_line_ = nl == nullptr;
    line_start = true;
  }
  std::size_t lit_from = strings_ > 0 ? i : NONE;
  std::size_t line_begin = i;
  bool at_start = line_start;
  // The bytes that matter in each kind of frame: the text's code, and the
  // last two kinds of literal or comment met (a text mostly goes between its
  // code and one or two kinds of string).
  byte_set code_want, comment_stops, frame_want[2];
  for (int b = 0; b < code_count_; ++b) code_want.add(code_set_[b]);
  comment_stops.add('\n');
  if (f.php_tags) comment_stops.add('?');
  std::uint64_t frame_key[2] = {~std::uint64_t{0}, ~std::uint64_t{0}};
  int next_slot = 0;
  const byte_set* want = &code_want;
  unsigned built = changes_ - 1;
  auto frame_set = [&](const frame& fr) -> const byte_set& {
    const std::uint64_t key = std::uint64_t{fr.kind} | std::uint64_t{fr.close} << 8 | std::uint64_t{fr.open} << 16 |
                              std::uint64_t{fr.escape} << 24 | std::uint64_t{static_cast<unsigned char>(fr.holds)} << 32 |
                              std::uint64_t{fr.slash_after} << 40;
    for (int slot = 0; slot < 2; ++slot)
      if (frame_key[slot] == key) return frame_want[slot];
    const int slot = next_slot;
    next_slot ^= 1;
    frame_key[slot] = key;
    byte_set& set = frame_want[slot];
    set.count = 0;
    if (fr.kind == code) {
      for (int b = 0; b < code_count_; ++b) set.add(code_set_[b]);
      if (fr.close != 0) set.add(fr.close);
      if (fr.open != 0) set.add(fr.open);
    } else if (fr.kind == string) {
      set.add('\n');
      set.add(fr.close);
      if (fr.open != 0) set.add(fr.open);
      if (fr.slash_after) set.add('/');
      if (fr.escape != 0) set.add(fr.escape);
      switch (fr.holds) {
        case interpolation::dollar_brace:
          set.add('$');
          break;
        case interpolation::brace:
          set.add('{');
          break;
        case interpolation::hash_brace:
          set.add('#');
          break;
        case interpolation::shell:
          set.add('$');
          set.add('`');
          break;
        case interpolation::php:
          set.add('$');
          set.add('{');
          break;
        default:
          break;
      }
    } else {
      set.add('\n');
      set.add('*');
      if (f.nested_comments) set.add('/');
    }
    return set;
  };
  while (i < n && !gave_up_) {
    if (at_start) {
      at_start = false;
      line_begin = i;
      if (docs_ready_ > 0 || line_rules_) {
        const std::size_t past = begin_line(p, i, n, lit, base);
        if (gave_up_) break;
        if (past != i) {
          i = past;
          at_start = p[i - 1] == '\n';
          continue;
        }
      }
    }
    if (in_line_comment_) {
      // Up to the line's end; PHP's "?>" ends the comment too.
      for (;;) {
        i = Skip ? find_any(p, i, n, comment_stops) : i;
        if (i >= n || p[i] == '\n') break;
        if (p[i] == '?' && f.php_tags && i + 1 < n && p[i + 1] == '>') break;
        ++i;
      }
      if (i >= n) break;
      in_line_comment_ = false;  // the newline, or "?>", is handled as code
    }
    frame& fr = stack_[top_];
    if (built != changes_) {
      built = changes_;
      want = fr.kind == code && fr.close == 0 && fr.open == 0 ? &code_want : &frame_set(fr);
    }
    if constexpr (Skip) i = find_any(p, i, n, *want);
    if (i >= n) break;
    const unsigned char c = p[i];
    auto next_is = [&](unsigned char b) { return i + 1 < n && p[i + 1] == b; };
    if (c == '\n') {
      if (fr.kind == string && !fr.spans) {
        // An unclosed literal that cannot span lines ends with its line.
        pop();
        if (strings_ == 0) {
          mark(lit_from, i);
          lit_from = NONE;
        }
      } else if (fr.kind == code && f.regex != regex_form::none) {
        last_operand_ = operand_before(p, i);
      }
      in_line_comment_ = false;
      docs_ready_ = docs_;
      if (block_next_ >= 0) {
        block_indent_ = block_next_;
        block_next_ = -1;
      }
      ++i;
      at_start = true;
      continue;
    }

    if (fr.kind == comment) {
      if (c == '*' && next_is('/')) {
        if (fr.depth > 0) {
          --fr.depth;
        } else {
          pop();
        }
        i += 2;
      } else if (c == '/' && next_is('*') && f.nested_comments) {
        ++fr.depth;
        i += 2;
      } else {
        ++i;
      }
      continue;
    }

    if (fr.kind == string) {
      if (fr.escape != 0 && c == fr.escape) {
        if (fr.holds == interpolation::swift && next_is('(')) {
          frame code_in;
          code_in.close = ')';
          code_in.open = '(';
          push(code_in);
        }
        i += 2;
        // A backslash-newline continues the literal on a line of its own.
        if (i <= n && p[i - 1] == '\n') at_start = true;
        continue;
      }
      if (fr.open != 0 && c == fr.open) {
        ++fr.depth;
        ++i;
        continue;
      }
      if (fr.slash_after && c == '/' && next_is('*')) {
        ++fr.depth;  // Rust's comments nest, doc comments too
        i += 2;
        continue;
      }
      if (c == fr.close) {
        std::size_t end = i + 1;
        if (fr.open != 0 && fr.depth > 0) {
          --fr.depth;
          ++i;
          continue;
        }
        if (fr.slash_after) {
          if (!next_is('/')) {
            ++i;
            continue;
          }
          if (fr.depth > 0) {
            --fr.depth;
            i += 2;
            continue;
          }
          end = i + 2;
        } else if (fr.html) {
          if (!next_is('?')) {
            ++i;
            continue;
          }
          end = i + 2;
          if (n - end >= 3 && (std::memcmp(p + end, "php", 3) == 0 || std::memcmp(p + end, "PHP", 3) == 0)) end += 3;
          else if (end < n && p[end] == '=')
            ++end;
        } else if (fr.cpp_raw) {
          if (!(n - i > raw_len_ + 1u && std::memcmp(p + i + 1, raw_delim_, raw_len_) == 0 && p[i + 1 + raw_len_] == '"')) {
            ++i;
            continue;
          }
          end = i + 2 + raw_len_;
        } else if (fr.count > 1) {
          std::size_t r = 0;
          while (i + r < n && p[i + r] == c && (fr.greedy || r < fr.count)) ++r;
          if (r < fr.count) {
            i += r;
            continue;
          }
          end = i + (fr.greedy ? r : fr.count);
        } else if (fr.doubled && next_is(c)) {
          i += 2;
          continue;
        }
        if (fr.hashes > 0) {
          std::size_t h = 0;
          while (h < fr.hashes && end + h < n && p[end + h] == '#') ++h;
          if (h < fr.hashes) {
            ++i;
            continue;
          }
          end += h;
        }
        if (fr.parts > 0) {
          --fr.parts;
          if (fr.open == 0) {
            ++i;  // s/a/b/: the middle delimiter is both parts'
            continue;
          }
          // s{a}{b}: the next part opens with its own bracket on this line.
          std::size_t b = i + 1;
          while (b < n && blank(p[b])) ++b;
          if (b >= n || p[b] == '\n') {
            gave_up_ = true;
            break;
          }
          fr.open = closing_bracket(p[b]) != 0 ? p[b] : 0;
          fr.close = fr.open != 0 ? closing_bracket(p[b]) : p[b];
          fr.depth = 0;
          ++changes_;
          i = b + 1;
          continue;
        }
        pop();
        if (strings_ == 0) {
          mark(lit_from, end);
          lit_from = NONE;
        }
        i = end;
        continue;
      }
      // Code inside the literal.
      frame code_in;
      code_in.close = '}';
      code_in.open = '{';
      std::size_t past = i + 1;
      bool opens = false;
      switch (fr.holds) {
        case interpolation::dollar_brace:
          opens = c == '$' && next_is('{');
          past = i + 2;
          break;
        case interpolation::brace:
          if (c == '{' && next_is('{')) {
            i += 2;
            continue;
          }
          opens = c == '{';
          break;
        case interpolation::hash_brace:
          opens = c == '#' && next_is('{');
          past = i + 2;
          break;
        case interpolation::shell:
          if (c == '`') {
            opens = true;
            code_in.close = '`';
            code_in.open = 0;
          } else if (c == '$' && (next_is('(') || next_is('{'))) {
            opens = true;
            code_in.open = p[i + 1];
            code_in.close = closing_bracket(p[i + 1]);
            past = i + 2;
          }
          break;
        case interpolation::php:
          opens = (c == '{' && next_is('$')) || (c == '$' && next_is('{'));
          past = c == '{' ? i + 1 : i + 2;
          break;
        default:
          break;
      }
      if (opens) {
        push(code_in);
        i = past;
      } else {
        ++i;
      }
      continue;
    }

    // Code.
    if (top_ > 0 && c == fr.close) {
      if (fr.depth > 0) {
        --fr.depth;
      } else {
        pop();
      }
      ++i;
      continue;
    }
    if (top_ > 0 && fr.open != 0 && c == fr.open) {
      ++fr.depth;
      ++i;
      continue;
    }
    switch (c) {
      case '"':
      case '\'':
      case '`':
        if ((c == '"' && !f.dq.opens) || (c == '\'' && !f.sq.opens && !f.rust_forms) || (c == '`' && !f.bq.opens)) {
          ++i;
          break;
        }
        i = open_quote(p, i, n, lit_from);
        break;
      case '/':
        if (f.rust_forms && next_is('/') && i + 2 < n && (p[i + 2] == '!' || (p[i + 2] == '/' && !(i + 3 < n && p[i + 3] == '/')))) {
          // A doc comment is the string of a #[doc] attribute: kept.
          const void* nl = std::memchr(p + i, '\n', n - i);
          const std::size_t e = nl != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - p) : n;
          if (strings_ == 0) mark(i, e);
          i = e;
        } else if (f.rust_forms && next_is('*') && i + 2 < n &&
                   (p[i + 2] == '!' || (p[i + 2] == '*' && !(i + 3 < n && (p[i + 3] == '*' || p[i + 3] == '/'))))) {
          frame doc;
          doc.kind = string;
          doc.close = '*';
          doc.slash_after = true;
          push(doc);
          note_open(i, lit_from);
          i += 3;
        } else if (!f.line_comment.empty() && next_is('/')) {
          if (f.regex != regex_form::none) last_operand_ = operand_before(p, i);
          in_line_comment_ = true;
          i += 2;
        } else if (f.block_comments && next_is('*')) {
          frame cm;
          cm.kind = comment;
          push(cm);
          i += 2;
        } else if (const std::size_t past = f.perl_forms ? open_quote_like(p, i, lit_from) : NONE; past != NONE) {
          i = past;
        } else if (f.regex != regex_form::none) {
          bool is_regex = false;
          const int strings_before = strings_;
          const std::size_t end = open_regex(p, i, n, is_regex);
          if (is_regex && strings_ == 0) mark(i, end);
          if (strings_ > strings_before) note_open(i, lit_from);
          i = end;
        } else {
          ++i;
        }
        break;
      case '#':
        if (!f.hash_comments) {
          ++i;
        } else if (f.hash_at_word_only && i > 0 && !blank(p[i - 1]) && std::strchr(";&|()\n", p[i - 1]) == nullptr) {
          ++i;
        } else if ((f.perl_forms && i > 0 && p[i - 1] == '$') || (f.php_tags && next_is('['))) {
          ++i;
        } else {
          if (f.regex != regex_form::none) last_operand_ = operand_before(p, i);
          in_line_comment_ = true;
          ++i;
        }
        break;
      case '\\':
        // The shell's escape: \' \" \# are plain bytes, and an escaped blank
        // is part of its word (a pattern's [\ \<TAB>]): kept.
        if (f.shell_forms && i + 1 < n && blank(p[i + 1]) && strings_ == 0) mark(i, i + 2);
        i += f.shell_forms ? 2 : 1;
        if (f.shell_forms && i <= n && p[i - 1] == '\n') at_start = true;
        break;
      case '<':
        i = f.heredoc != heredoc_form::none && next_is('<') ? open_heredoc(p, i, n) : i + 1;
        break;
      case '%': {
        if (!f.ruby_percent) {
          ++i;
          break;
        }
        // Ruby's %q() %w[] %() and the like.
        const unsigned char t = i + 1 < n ? p[i + 1] : 0;
        const bool typed = std::strchr("qQwWiIrsx", t) != nullptr && t != 0;
        const unsigned char d = typed ? (i + 2 < n ? p[i + 2] : 0) : t;
        const bool delim = d != 0 && !word_byte(d) && !blank(d) && d != '\n' && d != '\r' && d != '=';
        bool literal = false;
        if (delim && typed) {
          literal = true;
        } else if (delim && closing_bracket(d) != 0 && d != '<') {
          literal = !operand_before(p, i) || (argument_of_word(p, i) && i + 2 < n && !blank(p[i + 2]));
        }
        if (!literal) {
          ++i;
          break;
        }
        frame s;
        s.kind = string;
        s.escape = '\\';
        s.open = closing_bracket(d) != 0 ? d : 0;
        s.close = s.open != 0 ? closing_bracket(d) : d;
        s.holds = (typed && std::strchr("qwis", t) != nullptr) ? interpolation::none : interpolation::hash_brace;
        push(s);
        note_open(i, lit_from);
        i += typed ? 3 : 2;
        break;
      }
      case '|':
      case '>':
        if (f.yaml_forms && strings_ == 0) {
          // A block scalar's indicator ends its line (a comment aside).
          std::size_t k = i + 1;
          while (k < n && (p[k] == '-' || p[k] == '+' || digit(p[k]))) ++k;
          while (k < n && blank(p[k])) ++k;
          std::size_t j = i;
          while (j > 0 && blank(p[j - 1])) --j;
          const bool after_key = j == line_begin || std::strchr(":-?", p[j - 1]) != nullptr || (i > j);
          if (after_key && (k >= n || p[k] == '\n' || p[k] == '\r' || p[k] == '#')) {
            std::size_t indent = line_begin;
            while (indent < n && p[indent] == ' ') ++indent;
            block_next_ = static_cast<long>(indent - line_begin);
          }
        }
        if (f.perl_forms && c == '|') {
          const std::size_t past = open_quote_like(p, i, lit_from);
          i = past != NONE ? past : i + 1;
        } else {
          ++i;
        }
        break;
      case '?':
        if (f.php_tags && next_is('>')) {
          frame h;
          h.kind = string;
          h.close = '<';
          h.html = true;
          push(h);
          note_open(i + 2, lit_from);
          i += 2;
        } else {
          ++i;
        }
        break;
      case '{':
      case '(':
      case '[':
      case '!':
      case ',':
        if (f.perl_forms) {
          const std::size_t past = open_quote_like(p, i, lit_from);
          i = past != NONE ? past : i + 1;
        } else {
          ++i;
        }
        break;
      default:
        ++i;
        break;
    }
  }
  // Giving up keeps the whole line: nothing of it is converted yet.
  if (gave_up_) {
    // From the start of the line where it gave up (a newline in code is
    // not always looked at, so line_begin may lie further back).
    std::size_t from = i < n ? i : n;
    while (from > line_begin && p[from - 1] != '\n') --from;
    mark(lit_from < from ? lit_from : from, n);
  } else if (lit_from != NONE) {
    mark(lit_from, n);
  }
}

template void literal_lexer::scan<true>(const unsigned char*, std::size_t, bool, std::uint64_t*, std::size_t);
template void literal_lexer::scan<false>(const unsigned char*, std::size_t, bool, std::uint64_t*, std::size_t);

}  // namespace morek
