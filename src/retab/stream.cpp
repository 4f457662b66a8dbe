#include "stream.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "convert.hpp"
#include "settings.hpp"

namespace morek {

std::size_t trim_line(unsigned char* line, std::size_t n, const std::uint64_t* lit) {
  const bool has_newline = n > 0 && line[n - 1] == '\n';
  std::size_t end = has_newline ? n - 1 : n;
  while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t') && !(lit != nullptr && mask_bit(lit, end - 1)))
    --end;
  if (has_newline) line[end++] = '\n';
  return end;
}

namespace {

static_assert(text_reader::PAD >= CONVERT_PAD);

bool blank(unsigned char c) { return c == ' ' || c == '\t'; }

// What the file modes take from the end of a line besides its line end.
struct line_tail {
  bool trim;       // -t: its blanks
  bool settle;     // the file modes: CRs that the blanks going leave last, which a second run would read as line end
  bool keep_crs;   // --eol=keep: those CRs stay, before the line end (else they are part of the one written)
  bool blanks_go;  // the style drops the blanks at a line's end anyway
};

// Where the content w[s, e) of a line (e: its newline, or its end) ends once
// what tail takes from it is gone (cut), and how many CRs from what is gone
// are written before its line end (crs). Bytes inside literals (lit, indexed
// as w) stay, and so does the whole of kept (a makefile line's tail that
// make_tail_kept keeps).
struct cut_tail {
  std::size_t cut;
  std::size_t crs = 0;
};
template <bool Lit>
cut_tail content_end(const unsigned char* w, std::size_t s, std::size_t e, const std::uint64_t* lit, line_tail tail,
                     bool kept) {
  if (kept) return {e};
  auto goes = [&](std::size_t k) { return !(Lit && mask_bit(lit, k)); };
  cut_tail t{e};
  if (tail.trim)
    while (t.cut > s && blank(w[t.cut - 1]) && goes(t.cut - 1)) --t.cut;
  // Only where blanks end the line, as the window's lines are looked at.
  if (tail.settle && (tail.trim || tail.blanks_go) && e > s && blank(w[e - 1]) && goes(e - 1)) {
    // A CR that only blanks stand between it and the line end is left
    // last once they go: it joins the line end, and so do the CRs and
    // blanks before it back to the line's other bytes.
    std::size_t k = e, crs = 0;
    for (; k > s && (blank(w[k - 1]) || w[k - 1] == '\r') && goes(k - 1); --k) crs += w[k - 1] == '\r';
    if (crs > 0 && k < t.cut) t = {k, tail.keep_crs ? crs : 0};
  }
  return t;
}

// Writes crs CRs at o.
unsigned char* put_crs(unsigned char* o, std::size_t crs) {
  std::memset(o, '\r', crs);
  return o + crs;
}

// Memory for lines converted whole: the line, its mask and its conversion.
// It grows with the longest line and is kept for the next, and freed at exit
// (each thread's own, when the thread ends).
struct grown {
  void* p = nullptr;
  std::size_t size = 0;
  grown() = default;
  grown(const grown&) = delete;
  grown& operator=(const grown&) = delete;
  ~grown() { std::free(p); }
  // At least n bytes, the old ones kept; false when they cannot be had.
  bool reserve(std::size_t n) {
    if (n <= size) return true;
    std::size_t want = size < 4096 ? 4096 : size;
    while (want < n) want = want > SIZE_MAX / 2 ? n : want * 2;
    void* q = std::realloc(p, want);
    if (q == nullptr) return false;
    p = q;
    size = want;
    return true;
  }
  unsigned char* bytes() const { return static_cast<unsigned char*>(p); }
};
thread_local grown long_line, long_mask, long_lit, long_out;

// Gathers the rest of a line from the window on, through as many reads as it
// takes, into long_line; returns its length and whether its LF had a CR
// (had_cr), or SIZE_MAX when memory runs out.
std::size_t gather_line(text_reader& reader, bool& had_cr) {
  std::size_t n = 0;
  if (!long_line.reserve(static_cast<std::size_t>(BUFSIZE) + CONVERT_PAD)) return SIZE_MAX;
  for (;;) {
    const unsigned char* w = reader.window();
    const std::size_t len = reader.window_size();
    const void* nl = std::memchr(w, '\n', len);
    const std::size_t take = nl == nullptr ? len : static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - w) + 1;
    if (!long_line.reserve(n + take + CONVERT_PAD)) return SIZE_MAX;
    std::memcpy(long_line.bytes() + n, w, take);
    n += take;
    if (nl != nullptr) had_cr = reader.crlf_at(take - 1);
    reader.consume(take);
    if (nl != nullptr || !reader.read_more()) break;
  }
  std::memset(long_line.bytes() + n, 0, CONVERT_PAD);
  return n;
}

// Where the lines from s on stop ending in a newline within the len bytes of
// w, or being at most max bytes long (newline included): s when the first
// does not. Reads up to 15 bytes past len.
std::size_t short_lines_end(const unsigned char* w, std::size_t s, std::size_t len, std::size_t max) {
  std::size_t line = s;  // the start of the line looked at
#if defined(MOREK_SSE2)
  for (std::size_t i = s; i < len; i += 16) {
    auto m = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w + i)), _mm_set1_epi8('\n'))));
    if (len - i < 16) m &= (1u << (len - i)) - 1;
    for (; m != 0; m &= m - 1) {
      const std::size_t nl = i + static_cast<std::size_t>(__builtin_ctz(m));
      if (nl + 1 - line > max) return line;
      line = nl + 1;
    }
    if (i + 16 - line > max) return line;
  }
  return line;
#else
  for (;;) {
    const std::size_t to = len - line > max ? line + max : len;
    const void* nl = std::memchr(w + line, '\n', to - line);
    if (nl == nullptr) return line;
    line = static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - w) + 1;
  }
#endif
}

thread_local std::uint64_t special_mask[mask_words(text_reader::BLOCK)];
// The literals of the window's lines, as a language's lexer finds them.
thread_local std::uint64_t lit_mask[mask_words(text_reader::BLOCK)];

// Lines that end in a newline within the window and are no longer than the
// line reader would deliver whole are converted where they stand. The rest
// (pieces of long lines, lines too long, an unfinished last line) go through
// the line reader and in_buf, one line at a time.
// Converts the line that starts the window whole, however long; false, with
// the reason in result, when it cannot be.
// final_newline: the input's last line, when it has no line end, gets one,
// of the kind of the last line end before it (last_crlf) under --eol=keep:
// taken in before the line converts, so that what stands before it is what a
// second run finds before it.
template <bool CMode, charset Enc, bool IndentOnly, bool Lit>
bool convert_long_line(text_reader& reader, line_tail tail, bool final_newline, bool& last_crlf, lex_state& lex,
                       const grids& g, stream_result& result) {
  bool had_cr = false;
  std::size_t n = gather_line(reader, had_cr);
  if (n == SIZE_MAX || (n > 0 && !long_line.reserve(n + 1 + CONVERT_PAD))) {
    result.no_memory = true;
    return false;
  }
  unsigned char* const line = long_line.bytes();
  if (final_newline && n > 0 && line[n - 1] != '\n') {
    // Under --eol=lf and crlf the CRs before it are part of it, as they
    // will be when the file is read again.
    if (line_ends == eol_mode::keep) {
      had_cr = last_crlf;
      // An LF after the line's last CR makes a CR LF of them when the file
      // is read again: so it is here, before -t looks at the line.
      if (!had_cr && line[n - 1] == '\r') {
        --n;
        had_cr = true;
      }
    } else {
      while (n > 0 && line[n - 1] == '\r') --n;
    }
    line[n++] = '\n';
    std::memset(line + n, 0, CONVERT_PAD);
  }
  auto* lit = static_cast<std::uint64_t*>(long_lit.p);
  if constexpr (Lit) {
    if (!long_lit.reserve(mask_words(n + CONVERT_PAD) * sizeof(std::uint64_t))) {
      result.no_memory = true;
      return false;
    }
    lit = static_cast<std::uint64_t*>(long_lit.p);
    literals->scan(line, n, true, lit, 0);
  }
  cut_tail cut{n};
  if (tail.trim || tail.settle) {
    const bool has_newline = n > 0 && line[n - 1] == '\n';
    const std::size_t e = n - (has_newline ? 1 : 0);
    // Without a line end, no CR joins one.
    line_tail t = tail;
    t.settle = t.settle && has_newline;
    cut = content_end<Lit>(line, 0, e, lit, t, g.makefile && make_tail_kept(line, e, lex.make));
    if (cut.cut < e) {
      if (has_newline) line[cut.cut] = '\n';
      n = cut.cut + (has_newline ? 1 : 0);
    }
  }
  // The conversion is no longer than the line with every tab as the spaces
  // it stands for, nor are its columns wider.
  std::size_t tabs = 0;
  for (const unsigned char* p = line; (p = static_cast<const unsigned char*>(std::memchr(p, '\t', n - (p - line)))) != nullptr; ++p)
    ++tabs;
  const std::size_t widest = n + tabs * static_cast<std::size_t>(tab1 - 1);
  if (widest > LONG_LINE_COLUMNS) {
    result.too_wide = true;
    return false;
  }
  if (!long_mask.reserve(mask_words(n + CONVERT_PAD) * sizeof(std::uint64_t)) ||
      !long_out.reserve(widest + cut.crs + 2 + CONVERT_PAD)) {
    result.no_memory = true;
    return false;
  }
  auto* mask = static_cast<std::uint64_t*>(long_mask.p);
  classify<CMode>(line, n, mask);
  const converted c = convert_masked<CMode, Enc, IndentOnly, Lit>(line, mask, 0, n, lex, g, long_out.bytes(), true, lit);
  unsigned char* end = put_crs(c.out, cut.crs);
  if (c.newline) end = line_end(end, had_cr);
  out_write(long_out.bytes(), static_cast<std::size_t>(end - long_out.bytes()));
  if (c.newline) {
    ++result.lines;
    last_crlf = had_cr;
  }
  return true;
}

template <bool CMode, charset Enc, bool IndentOnly, bool Lit>
stream_result convert_all(text_reader& reader, unsigned char* in_buf, bool trim, bool whole_lines, bool final_newline) {
  stream_result result;
  lex_state lex;
  // Only --eol=keep writes line ends as they came; the rest need not look.
  const bool keep = line_ends == eol_mode::keep;
  const grids g;
  // The file modes settle in one run: a second finds nothing more to take.
  const line_tail tail{trim, whole_lines, keep, !IndentOnly && !g.makefile};
  bool last_crlf = false;  // the last line end written was CR LF, as it came
  const auto read_max = static_cast<std::size_t>(BUFSIZE) - 1;
  // Longest line, newline included, that is converted in the window.
  const std::size_t fast_max = read_max < LINE_LIMIT - 1 ? read_max : LINE_LIMIT - 1;
  const std::size_t room = convert_bound(fast_max, tab1);
  // The window starts with the rest of a long line, whose first piece went
  // through the line reader.
  bool continuing = false;

  bool more = reader.read_more();
  for (;;) {
    const unsigned char* const w = reader.window();
    const std::size_t len = reader.window_size();
    if (len == 0 && !more) return result;
    classify<CMode>(w, len, special_mask);

    std::size_t s = 0;  // start of the next line in the window
    std::size_t lexed_to = 0;  // the lexer has seen the window up to here
    bool by_line_reader = false;
    while (s < len) {
      // Converted on trust: a line that turns out longer than fast_max, or
      // unfinished, is taken back, and so is one whose trailing blanks -t cuts.
      unsigned char* o = out_reserve(room);
      const lex_state before = lex;
      const std::size_t to = len - s > fast_max ? s + fast_max : len;
      if constexpr (Lit) {
        if (s >= lexed_to) {
          // The lines that end here and are converted here, lexed at once
          // (and once: a line that is not goes through the line reader).
          const std::size_t e = short_lines_end(w, s, len, fast_max);
          if (e == s) {
            by_line_reader = len - s >= fast_max || !more;
            break;
          }
          literals->scan(w + s, e - s, !continuing, lit_mask, s);
          lexed_to = e;
        }
      }
      converted c =
          convert_masked<CMode, Enc, IndentOnly, Lit>(w, special_mask, s, to, lex, g, o, !continuing, lit_mask);
      if (!c.newline) {
        lex = before;
        by_line_reader = len - s >= fast_max || !more;
        break;
      }
      if ((tail.trim || tail.settle) && c.end - s >= 2 && blank(w[c.end - 2])) {
        const bool kept = g.makefile && !continuing && make_tail_kept(w + s, c.end - 1 - s, before.make);
        const cut_tail cut = content_end<Lit>(w, s, c.end - 1, lit_mask, tail, kept);
        if (cut.cut < c.end - 1) {
          lex = before;
          c.out = put_crs(
              convert_masked<CMode, Enc, IndentOnly, Lit>(w, special_mask, s, cut.cut, lex, g, o, !continuing, lit_mask).out,
              cut.crs);
        }
      }
      continuing = false;
      last_crlf = keep && reader.crlf_at(c.end - 1);
      out_commit(line_end(c.out, last_crlf));
      ++result.lines;
      s = c.end;
    }
    reader.consume(s);

    if (by_line_reader && whole_lines) {
      if (!convert_long_line<CMode, Enc, IndentOnly, Lit>(reader, tail, final_newline, last_crlf, lex, g, result))
        return result;
      more = true;
      continue;
    }
    if (by_line_reader) {
      const std::size_t got = reader.get_line(in_buf, read_max);
      if (got == 0) return result;
      in_buf[got] = 0;
      if (got >= LINE_LIMIT) {
        result.too_long = got;
        return result;
      }
      const bool whole_line = in_buf[got - 1] == '\n';
      std::uint64_t line_lit[mask_words(LINE_LIMIT)];
      if constexpr (Lit) literals->scan(in_buf, got, !continuing, line_lit, 0);
      const bool keep_tail =
          g.makefile && !continuing && make_tail_kept(in_buf, got - (in_buf[got - 1] == '\n'), lex.make);
      const std::size_t n = !trim || keep_tail ? got : trim_line(in_buf, got, Lit ? line_lit : nullptr);
      out_commit(convert_line(in_buf, n, lex, out_reserve(convert_bound(n, tab1)), reader.last_line_had_cr(),
                              !continuing, Lit ? line_lit : nullptr));
      if (whole_line) ++result.lines;
      continuing = !whole_line;
      more = true;
      continue;
    }
    more = reader.read_more();
  }
}

}  // namespace

stream_result convert_stream(text_reader& reader, unsigned char* in_buf, bool trim, bool whole_lines,
                             bool final_newline) {
  return with_scan_settings([&]<bool CMode, charset Enc, bool IndentOnly, bool Lit>() {
    return convert_all<CMode, Enc, IndentOnly, Lit>(reader, in_buf, trim, whole_lines, final_newline);
  });
}

}  // namespace morek
