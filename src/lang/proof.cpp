#include "proof.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "lexer.hpp"
#include "makefile.hpp"
#include "python_blocks.hpp"

namespace morek {

namespace {

bool blank(unsigned char c) { return c == ' ' || c == '\t'; }

// A text as lines compare it: without the CRs that stand right before an
// LF, which are line end; padded for the lexer, and with its literals once
// lexed. Its memory is kept from one proof to the next.
struct text_view {
  std::vector<unsigned char> bytes;
  std::size_t n = 0;
  std::vector<std::uint64_t> lit;
  bool lexed = false;

  bool literal(std::size_t k) const { return lexed && k < n && ((lit[k >> 6] >> (k & 63)) & 1) != 0; }
  std::string_view view(std::size_t from, std::size_t to) const {
    return {reinterpret_cast<const char*>(bytes.data()) + from, to - from};
  }
  // The end of the line that starts at from: its LF, or the end.
  std::size_t line_end(std::size_t from) const {
    const void* nl = std::memchr(bytes.data() + from, '\n', n - from);
    return nl != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - bytes.data()) : n;
  }
  // The line, from 1, that holds byte at.
  std::size_t line_of(std::size_t at) const {
    std::size_t line = 1;
    for (std::size_t k = 0; k < at && k < n; ++k) line += bytes[k] == '\n';
    return line;
  }
};

void normalize(std::string_view t, text_view& v) {
  if (v.bytes.size() < t.size() + LEXER_PAD) v.bytes.resize(t.size() + LEXER_PAD);
  v.lexed = false;
  unsigned char* o = v.bytes.data();
  if (std::memchr(t.data(), '\r', t.size()) == nullptr) {
    std::memcpy(o, t.data(), t.size());
    o += t.size();
  } else {
    for (std::size_t p = 0; p < t.size();) {
      const std::size_t nl = t.find('\n', p);
      std::size_t keep = nl == std::string_view::npos ? t.size() : nl;
      if (nl != std::string_view::npos)
        while (keep > p && t[keep - 1] == '\r') --keep;
      std::memcpy(o, t.data() + p, keep - p);
      o += keep - p;
      if (nl == std::string_view::npos) break;
      *o++ = '\n';
      p = nl + 1;
    }
  }
  v.n = static_cast<std::size_t>(o - v.bytes.data());
  std::memset(o, 0, LEXER_PAD);
}

void lex_text(text_view& v, language lang, bool sjis, bool comments_kept) {
  // scan sets and clears every bit of [0, n): nothing to clear first.
  if (v.lit.size() < v.n / 64 + 2) v.lit.resize(v.n / 64 + 2);
  v.lexed = true;
  if (v.n == 0) return;
  literal_lexer lexer;
  lexer.start(lang, sjis, comments_kept);
  lexer.scan(v.bytes.data(), v.n, true, v.lit.data(), 0);
}

// The first k at or after from, and before n, whose literal bit is value; n
// when none.
std::size_t next_with(const text_view& v, std::size_t from, bool value) {
  for (std::size_t k = from; k < v.n;) {
    std::uint64_t w = v.lit[k >> 6];
    if (!value) w = ~w;
    w >>= (k & 63);
    if (w != 0) {
      k += static_cast<std::size_t>(__builtin_ctzll(w));
      return k < v.n ? k : v.n;
    }
    k = (k | 63) + 1;
  }
  return v.n;
}

// What differs first, and where (line of the original, from 1).
struct finding {
  std::size_t line = 0;
  std::string_view why{};
  void note(std::size_t at, std::string_view reason) {
    if (at != 0 && (line == 0 || at < line)) *this = {at, reason};
  }
};

// The literals' runs of bytes, in order.
void compare_literals(const text_view& a, const text_view& b, finding& f) {
  for (std::size_t ia = 0, ib = 0;;) {
    const std::size_t fa = next_with(a, ia, true), fb = next_with(b, ib, true);
    if (fa == a.n && fb == b.n) return;
    const std::size_t ta = fa < a.n ? next_with(a, fa, false) : a.n, tb = fb < b.n ? next_with(b, fb, false) : b.n;
    if (fa == a.n || fb == b.n) {
      // A literal too many or too few; lines correspond, so where the
      // output's stands is where they differ too.
      f.note(fa < a.n && (fb == b.n || fa <= fb) ? a.line_of(fa) : b.line_of(fb), "a literal would change");
      return;
    }
    const std::string_view x = a.view(fa, ta), y = b.view(fb, tb);
    if (x != y) {
      std::size_t k = 0;
      while (k < x.size() && k < y.size() && x[k] == y[k]) ++k;
      f.note(a.line_of(fa + (k < x.size() ? k : x.size() - 1)), "a literal would change");
      return;
    }
    ia = ta;
    ib = tb;
  }
}

// A line without the blanks and CRs at its end.
std::string_view body_of(std::string_view line) {
  std::size_t e = line.size();
  while (e > 0 && (blank(static_cast<unsigned char>(line[e - 1])) || line[e - 1] == '\r')) --e;
  return line.substr(0, e);
}

// Where the first blank at or after k stands in s, or its end; eight bytes
// at a time.
std::size_t next_blank(std::string_view s, std::size_t k) {
  constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
  for (; k + 8 <= s.size(); k += 8) {
    std::uint64_t w;
    std::memcpy(&w, s.data() + k, 8);
    const std::uint64_t sp = w ^ (ones * ' '), tab = w ^ (ones * '\t');
    if ((((sp - ones) & ~sp) | ((tab - ones) & ~tab)) & highs) break;
  }
  while (k < s.size() && !blank(static_cast<unsigned char>(s[k]))) ++k;
  return k;
}

// Whether two bodies hold the same bytes but blanks, and runs of blanks at
// the same places: stretches without a blank compared whole.
bool same_but_blanks(std::string_view x, std::string_view y) {
  if (x == y) return true;
  for (std::size_t i = 0, j = 0;;) {
    const std::size_t ei = next_blank(x, i), ej = next_blank(y, j);
    if (x.substr(i, ei - i) != y.substr(j, ej - j)) return false;
    i = ei;
    j = ej;
    if (i == x.size() || j == y.size()) return i == x.size() && j == y.size();
    while (i < x.size() && blank(static_cast<unsigned char>(x[i]))) ++i;
    while (j < y.size() && blank(static_cast<unsigned char>(y[j]))) ++j;
  }
}

std::size_t indentation_of(std::string_view line) {
  std::size_t k = 0;
  while (k < line.size() && blank(static_cast<unsigned char>(line[k]))) ++k;
  return k;
}

// A makefile's line: kept whole, or only its indentation changed (never into
// a tab first) and, unless an assignment's or a backslash's, its trailing
// blanks cut.
std::string_view make_line_differs(std::string_view x, std::string_view y, const make_state& st) {
  const auto* p = reinterpret_cast<const unsigned char*>(x.data());
  if (make_line_kept(p, x.size(), st))
    return x == y ? std::string_view() : !x.empty() && x[0] == '\t' ? "a recipe line would change" : "a makefile line would change";
  if (!y.empty() && y[0] == '\t') return "a recipe line would begin";
  const std::size_t ix = indentation_of(x), iy = indentation_of(y);
  const std::string_view rx = x.substr(ix), ry = y.substr(iy);
  if (rx.empty()) return {};  // blanks alone
  if ((ix == 0) != (iy == 0)) return "a makefile line would change";
  if (make_tail_kept(p, x.size(), st)) return rx == ry ? std::string_view() : "a makefile value would change";
  return rx.substr(0, ry.size()) == ry && body_of(rx.substr(ry.size())).empty() ? std::string_view()
                                                                                 : "a makefile line would change";
}

// How many bytes a and b have in common from their starts, up to n; eight
// at a time.
std::size_t common_prefix(const unsigned char* a, const unsigned char* b, std::size_t n) {
  std::size_t k = 0;
  for (; k + 8 <= n; k += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a + k, 8);
    std::memcpy(&y, b + k, 8);
    if (x != y) {
      if constexpr (std::endian::native == std::endian::little)
        return k + static_cast<std::size_t>(__builtin_ctzll(x ^ y)) / 8;
      break;
    }
  }
  while (k < n && a[k] == b[k]) ++k;
  return k;
}

bool blank_or_cr(unsigned char c) { return blank(c) || c == '\r'; }

// The bytes but blanks, in both texts at once: stretches in common pass at
// the speed of a comparison, and where they part, a run of blanks must face
// a run of blanks, or the blanks and CRs at the end of a line (or of the
// text) such blanks and CRs; a final line end may come or go, and so may
// lines of blanks after the last line of text.
void compare_texts(const text_view& a, const text_view& b, finding& f) {
  const unsigned char *x = a.bytes.data(), *y = b.bytes.data();
  for (std::size_t i = 0, j = 0;;) {
    const std::size_t m = common_prefix(x + i, y + j, std::min(a.n - i, b.n - j));
    i += m;
    j += m;
    if (i == a.n && j == b.n) return;
    // Back to where blanks that the two part in begin, within what they
    // had in common.
    for (std::size_t back = 0; back < m && blank(x[i - 1]); ++back) --i, --j;
    const bool line_start = i == 0 || x[i - 1] == '\n';
    std::size_t ei = i, ej = j;
    while (ei < a.n && blank_or_cr(x[ei])) ++ei;
    while (ej < b.n && blank_or_cr(y[ej])) ++ej;
    const bool end_a = ei == a.n || x[ei] == '\n', end_b = ej == b.n || y[ej] == '\n';
    if (end_a && end_b && ei < a.n && ej < b.n) {
      // The end of a line on both sides.
      i = ei + 1;
      j = ej + 1;
      continue;
    }
    if (end_a && end_b && ej == b.n) {
      // The output has ended: what is left of the input may be line ends,
      // blanks and CRs.
      for (std::size_t k = ei; k < a.n; ++k)
        if (!blank_or_cr(x[k]) && x[k] != '\n') return f.note(a.line_of(k), "a line would be taken away");
      return;
    }
    if (end_a && end_b) {
      // The input has ended: the output may end its last line, no more.
      if (b.n - ej == 1 && a.n > 0 && x[a.n - 1] != '\n') return;
      return f.note(a.line_of(a.n) + (a.n > 0 && x[a.n - 1] != '\n' ? 1 : 0), "a line would be added");
    }
    if (end_b && ej == b.n && line_start) return f.note(a.line_of(i), "a line would be taken away");
    if (end_a && ei == a.n && line_start) return f.note(a.line_of(i), "a line would be added");
    // Between other bytes: runs of blanks on both sides.
    ei = i;
    ej = j;
    while (ei < a.n && blank(x[ei])) ++ei;
    while (ej < b.n && blank(y[ej])) ++ej;
    if (ei == i || ej == j) return f.note(a.line_of(i), "its text would change");
    i = ei;
    j = ej;
  }
}

// Line by line: the bytes but blanks, and what each kind keeps.
void compare_lines(const text_view& a, const text_view& b, file_kind kind, bool yaml, finding& f) {
  make_state st;
  std::size_t pa = 0, pb = 0, line = 1;
  for (; pa < a.n; ++line) {
    const std::size_t ea = a.line_end(pa);
    const std::string_view x = a.view(pa, ea);
    if (pb >= b.n) {
      // The output has ended: what is left of the input must be line ends
      // and blanks, which may go at the end.
      if (!body_of(x).empty()) return f.note(line, "a line would be taken away");
      pa = ea + 1;
      continue;
    }
    const std::size_t eb = b.line_end(pb);
    const std::string_view y = b.view(pb, eb);
    if (kind == file_kind::makefile) {
      if (const std::string_view why = make_line_differs(x, y, st); !why.empty()) return f.note(line, why);
      make_advance(st, reinterpret_cast<const unsigned char*>(x.data()), x.size());
    }
    if (!same_but_blanks(body_of(x), body_of(y))) return f.note(line, "its text would change");
    if (yaml && !a.literal(pa) && !body_of(x).empty() && x.substr(0, indentation_of(x)) != y.substr(0, indentation_of(y)))
      return f.note(line, "YAML's indentation would change");
    pa = ea + 1;
    pb = eb + 1;
  }
  if (pb < b.n) f.note(line, "a line would be added");
}

// A Python string's bytes as its value sees them: a CR LF or a CR alone is
// an LF.
bool same_python_string(std::string_view x, std::string_view y) {
  std::size_t i = 0, j = 0;
  auto next = [](std::string_view s, std::size_t& k) {
    const char c = s[k++];
    if (c != '\r') return c;
    if (k < s.size() && s[k] == '\n') ++k;
    return '\n';
  };
  while (i < x.size() && j < y.size())
    if (next(x, i) != next(y, j)) return false;
  return i == x.size() && j == y.size();
}

// Python's blocks and strings, read from the texts as they are (a CR alone
// ends a line), whatever the lexer made of them.
void compare_python(std::string_view in, std::string_view out, finding& f) {
  const python_blocks a = read_python_blocks(reinterpret_cast<const unsigned char*>(in.data()), in.size());
  const python_blocks b = read_python_blocks(reinterpret_cast<const unsigned char*>(out.data()), out.size());
  for (std::size_t k = 0; k < a.strings.size() || k < b.strings.size(); ++k) {
    if (k == a.strings.size() || k == b.strings.size()) {
      f.note(k < a.strings.size() ? a.strings[k].line : b.strings[k].line, "a literal would change");
      break;
    }
    const python_string &x = a.strings[k], &y = b.strings[k];
    if (!same_python_string(in.substr(x.from, x.to - x.from), out.substr(y.from, y.to - y.from))) {
      f.note(x.line, "a literal would change");
      break;
    }
  }
  const std::size_t common = a.steps.size() < b.steps.size() ? a.steps.size() : b.steps.size();
  for (std::size_t k = 0; k < common; ++k) {
    const python_step &x = a.steps[k], &y = b.steps[k];
    if (x.change != y.change) return f.note(x.line, "Python's blocks would change");
    if (x.consistent && !y.consistent) return f.note(x.line, "Python would reject its indentation");
  }
  auto indentation_stop = [](const python_blocks& p) {
    return p.stop == python_stop::dedent || p.stop == python_stop::too_deep;
  };
  if (indentation_stop(b) && a.stop != b.stop) return f.note(b.stop_line, "Python would reject its indentation");
  if (a.steps.size() != b.steps.size())
    return f.note(common < a.steps.size() ? a.steps[common].line : b.steps[common].line, "Python's blocks would change");
  if (a.stop != b.stop) f.note(b.stop != python_stop::none ? b.stop_line : a.stop_line, "Python's blocks would change");
}

}  // namespace

proof prove_conversion(std::string_view in, std::string_view out, language lang, file_kind kind, bool sjis) {
  if (in == out) return {};
  // Each check names its first difference; the earliest line wins, and on
  // one line the most telling reason: Python's, a literal's, then the text's.
  finding f;
  if (kind == file_kind::python || lang == language::python) compare_python(in, out, f);
  thread_local text_view a, b;
  normalize(in, a);
  normalize(out, b);
  if (lang != language::text) {
    // Both as the original reads: the same literals in both.
    const bool comments_kept = keeps_comments(lang, in);
    lex_text(a, lang, sjis, comments_kept);
    lex_text(b, lang, sjis, comments_kept);
    compare_literals(a, b, f);
  }
  // Makefiles and YAML go line by line, for what their lines keep; the
  // rest is compared at once.
  const bool yaml = kind == file_kind::yaml || lang == language::yaml;
  if (yaml || kind == file_kind::makefile)
    compare_lines(a, b, kind, yaml, f);
  else
    compare_texts(a, b, f);
  return {f.line, f.why};
}

}  // namespace morek
