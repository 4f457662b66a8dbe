// The tool's line converter: expand_line and retab_line fused into one scan
// that needs no intermediate buffers. It writes exactly what retab_line
// writes for what expand_line makes of the same line (randomized tests hold
// the two to that). The scan goes from one byte that classify marked to the
// next, and copies what lies between as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "classify.hpp"
#include "expand.hpp"
#include "lexer.hpp"
#include "retab.hpp"
#include "settings.hpp"
#include "simd.hpp"
#include "utf8.hpp"

namespace morek {

namespace detail {

// Copies len bytes, 16 at a time: both sides have padding for the last block.
inline unsigned char* copy_bytes(unsigned char* o, const unsigned char* from, std::size_t len) {
#if defined(MOREK_SSE2)
  // Most stretches are short: 32 bytes without a loop.
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16)));
  for (std::size_t k = 32; k < len; k += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + k), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k)));
#else
  std::memcpy(o, from, len);
#endif
  return o + len;
}

// Fills a gap; short ones with one 16-byte store.
inline unsigned char* fill(unsigned char* o, unsigned char c, int count) {
  if (count <= 16) {
#if defined(MOREK_SSE2)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_set1_epi8(static_cast<char>(c)));
#else
    std::memset(o, c, 16);
#endif
  } else {
    std::memset(o, c, static_cast<std::size_t>(count));
  }
  return o + count;
}

// How many spaces stand at p, counting at most limit (>= 1) and at most 16.
inline std::size_t spaces_at(const unsigned char* p, std::size_t limit) {
#if defined(MOREK_SSE2)
  const auto not_space = ~static_cast<unsigned>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8(' '))));
  const auto k = static_cast<std::size_t>(__builtin_ctz(not_space | 0x10000u));
#else
  std::size_t k = 0;
  while (k < 16 && p[k] == ' ') ++k;
#endif
  return k < limit ? k : limit;
}

}  // namespace detail

// Writes a line end as the output wants it (line_ends); had_cr says that the
// input line ended in CR LF.
inline unsigned char* line_end(unsigned char* o, bool had_cr) {
  if (line_ends == eol_mode::lf || (line_ends == eol_mode::keep && !had_cr)) {
    *o = '\n';
    return o + 1;
  }
  o[0] = '\r';
  o[1] = '\n';
  return o + 2;
}

// A grid whose stops no line reaches (a line's columns stay far below it):
// gaps on it are all spaces.
inline constexpr int NO_STOPS = 1 << 30;
static_assert(static_cast<long long>(LINE_LIMIT) * TAB_MAX < NO_STOPS);

// The tab stops of the input and of the output, and the stops that gaps may
// use: the output's, or none under --spaces and in YAML (whose parsers often
// refuse a tab even between a key and its value).
struct grids {
  tab_grid in{tab1};
  tab_grid out{tab2};
  tab_grid gaps{spaces_only == 1 || yaml_lines == 1 ? NO_STOPS : tab2};
  // --indent-only: a tab after the indentation stays a tab where the widths
  // agree (under --spaces they always do), so that no column moves; else it
  // becomes the spaces that reach the column it reached.
  bool keep_tabs = tab1 == tab2;
  // --indent-only: lines may have an indentation (else every blank is kept).
  bool indents = indent_only != 2;
  // A makefile: its recipe lines and values keep every blank (see
  // makefile.hpp), and no line gains a tab that would make it a recipe line.
  bool makefile = make_lines == 1;
  // YAML: the blanks that begin a line stay as they are.
  bool yaml = yaml_lines == 1;
};

// What convert_masked did.
struct converted {
  unsigned char* out;  // end of what it wrote
  std::size_t end;     // end of what it read
  bool newline;        // a newline ended the line (else the scan reached to)
};

// A makefile's line in[from, to), up to its newline (left for the caller to
// write): kept whole, or, when it begins with spaces, its indentation written
// in the style where that does not make it begin with a tab, and the rest as
// it is. The state moves past the line. Out of line: no other file pays.
[[gnu::noinline]] inline converted convert_make_line(const unsigned char* in, std::size_t from, std::size_t to,
                                                     lex_state& lex, const grids& g, unsigned char* o,
                                                     bool begins_in_literal) {
  const void* nl = std::memchr(in + from, '\n', to - from);
  const std::size_t end = nl != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - in) : to;
  const unsigned char* const line = in + from;
  const std::size_t n = end - from;
  std::size_t i = from;
  if (g.indents && !begins_in_literal && n > 0 && line[0] == ' ' && !make_line_kept(line, n, lex.make)) {
    column col = 0;
    std::size_t k = from;
    for (; k < end && (in[k] == ' ' || in[k] == '\t'); ++k) col += in[k] == ' ' ? 1 : g.in.to_next_stop(col);
    const gap gp = chg_gap(0, col, g.gaps);
    if (k < end && gp.tabs == 0) {
      o = detail::fill(o, ' ', gp.spaces);
      i = k;
    }
  }
  o = detail::copy_bytes(o, in + i, end - i);
  make_advance(lex.make, line, n);
  return {o, nl != nullptr ? end + 1 : to, nl != nullptr};
}

// Converts the line in[from, to) into o, up to its newline, which ends the
// scan wherever it stands and is left for the caller to write. special is the
// mask that classify made for in. Enc: what the bytes are. IndentOnly: only a
// run of blanks that opens the line, on its first piece (first_piece), and is
// followed by more of it is re-tabulated; other blanks are written as they
// are, tabs as spaces unless g.keep_tabs. Lit: a language's lexer found the
// literals, whose bytes are set in lit; they are written as they are, and a
// line that begins inside one has no indentation.
template <bool CMode, charset Enc, bool IndentOnly, bool Lit = false>
[[gnu::always_inline]] inline converted convert_masked(const unsigned char* in, const std::uint64_t* special,
                                                       std::size_t from, std::size_t to, lex_state& lex, const grids& g,
                                                       unsigned char* o, bool first_piece = true,
                                                       const std::uint64_t* lit = nullptr) {
  auto literal = [&](std::size_t k) { return Lit && mask_bit(lit, k); };
  const tab_grid& grid1 = g.in;
  const tab_grid& grid2 = g.out;
  column in_col = 0;             // column on the tab1 grid, as the expansion counts
  column out_col = 0;            // column on the tab2 grid, as the output shows
  bool in_run = false;           // a run of convertible spaces is pending
  column run_start = 0;          // output column of the pending run's first space
  bool in_line_comment = false;  // after "//" on this line
  std::size_t i = from;
  // Where the line's indentation would start.
  std::size_t indent_from = from;
  bool kept_indent = false;
  if (g.makefile && first_piece)
    return convert_make_line(in, from, to, lex, g, o, from < to && ((CMode && lex.quote != 0) || literal(from)));
  if (g.yaml && first_piece && from < to && (in[from] == ' ' || in[from] == '\t') && !(CMode && lex.quote != 0) &&
      !literal(from)) {
    // Written as it is, unless the line is blanks alone.
    std::size_t k = from;
    column ic = 0, oc = 0;
    for (; k < to && (in[k] == ' ' || in[k] == '\t') && !literal(k); ++k) {
      ic += in[k] == ' ' ? 1 : grid1.to_next_stop(ic);
      oc += in[k] == ' ' ? 1 : grid2.to_next_stop(oc);
    }
    if (k < to && in[k] != '\n') {
      o = detail::copy_bytes(o, in + from, k - from);
      in_col = ic;
      out_col = oc;
      indent_from = i = k;
      kept_indent = true;
    }
  }
  // IndentOnly: the line may open with an indentation.
  const bool may_indent =
      IndentOnly && first_piece && g.indents && !kept_indent && !(CMode && lex.quote != 0) && !(from < to && literal(from));

  auto close_run = [&] {
    if (in_run) {
      const gap gp = chg_gap(run_start, out_col, g.gaps);
      o = detail::fill(detail::fill(o, '\t', gp.tabs), ' ', gp.spaces);
      in_run = false;
    }
  };
  auto add_spaces = [&](column k) {
    if (!in_run) {
      run_start = out_col;
      in_run = true;
    }
    out_col += k;
  };
  // One byte as the expansion would flag it, through the re-tabulation.
  // Under IndentOnly no run is open here: the indentation is blanks alone.
  auto take = [&](unsigned char c, bool protect) {
    if (c == ' ' && !protect && !IndentOnly) {
      add_spaces(1);
      return;
    }
    close_run();
    *o++ = c;
    out_col += (c == '\t' && protect) ? grid2.to_next_stop(out_col) : 1;
  };

  while (i < to) {
    // The last byte is always decided: what follows it is not the line's.
    const std::size_t next = next_bit(special, i, to - 1);
    if (next > i) {
      close_run();
      o = detail::copy_bytes(o, in + i, next - i);
      const auto k = static_cast<column>(next - i);
      in_col += k;
      out_col += k;
      if (CMode && lex.quote != 0) lex.escape = -1;
      i = next;
    }
    unsigned char c = in[i];
    if (c == '\n') return {o, i + 1, true};
    if ((c == ' ' || c == '\t') && !(CMode && lex.quote != 0) && !literal(i)) {
      // Blanks outside literals touch no lexical state: only the column where
      // their run ends counts.
      const std::size_t run_from = i;
      column col = in_col;
      do {
        if (in[i] == ' ') {
          const std::size_t k = detail::spaces_at(in + i, to - i);
          col += static_cast<column>(k);
          i += k;
        } else {
          col += grid1.to_next_stop(col);
          ++i;
        }
      } while (i < to && (in[i] == ' ' || in[i] == '\t') && !literal(i));
      if (IndentOnly && !(may_indent && run_from == indent_from && i < to && in[i] != '\n')) {
        // Not the indentation: the blanks as they are, each tab to its stop.
        close_run();
        out_col += col - in_col;
        for (std::size_t k = run_from; k < i; ++k) {
          if (in[k] == ' ') {
            *o++ = ' ';
            ++in_col;
          } else {
            const column step = grid1.to_next_stop(in_col);
            o = g.keep_tabs ? (*o = '\t', o + 1) : detail::fill(o, ' ', step);
            in_col += step;
          }
        }
        continue;
      }
      add_spaces(col - in_col);
      in_col = col;
      continue;
    }
    if constexpr (CMode) {
      c = follow_lexical(in, i, to, lex, in_line_comment, [&](unsigned char mark, unsigned char) {
        take(mark, false);
        ++in_col;
      });
    }
    const bool protect = (CMode && lex.quote != 0) || literal(i);
    if (c == '\t') {
      const column step = grid1.to_next_stop(in_col);
      in_col += step;
      if (protect)
        take('\t', true);
      else
        add_spaces(step);
    } else if (Enc == charset::utf8 && c >= 0x80) {
      // Characters in a row, with no ASCII byte between them to decide on.
      close_run();
      do {
        const utf8_char u = utf8_at(in + i, to - i);
        std::memcpy(o, in + i, 4);  // both sides have padding
        o += u.len;
        in_col += u.width;
        out_col += u.width;
        i += u.len;
      } while (i < to && in[i] >= 0x80);
      continue;
    } else if (Enc == charset::sjis && sjis_lead(c) && i + 1 < to && in[i + 1] != '\0') {
      take(c, protect);
      const unsigned char second = in[++i];
      if (second == '\n') return {o, i + 1, true};  // the pair took the newline
      take(second, protect);
      in_col += 2;
    } else {
      take(c, protect);
      ++in_col;
    }
    ++i;
  }
  return {o, to, false};
}

// Longest line convert_line takes.
inline constexpr std::size_t CONVERT_LINE_MAX = 1024;

// Calls f.template operator()<CMode, Enc, IndentOnly, Lit>() with the
// instantiation that the settings select: a language's lexer (Lit) before -c.
template <class F>
decltype(auto) with_scan_settings(F&& f) {
  auto by_style = [&]<bool CMode, charset Enc, bool Lit>() -> decltype(auto) {
    if (indent_only != 0) return f.template operator()<CMode, Enc, true, Lit>();
    return f.template operator()<CMode, Enc, false, Lit>();
  };
  auto by_charset = [&]<bool CMode, bool Lit>() -> decltype(auto) {
    switch (input_charset()) {
      case charset::utf8:
        return by_style.template operator()<CMode, charset::utf8, Lit>();
      case charset::latin1:
        return by_style.template operator()<CMode, charset::latin1, Lit>();
      default:
        return by_style.template operator()<CMode, charset::sjis, Lit>();
    }
  };
  if (literals != nullptr) return by_charset.template operator()<false, true>();
  if (ign_str == 1) return by_charset.template operator()<true, false>();
  return by_charset.template operator()<false, false>();
}

// Converts one line of n bytes (n <= CONVERT_LINE_MAX), ending in a newline
// unless it is the input's last line or a piece of a long one, into out and
// returns the end of what it wrote; had_cr says that the newline stood after a
// CR (see line_end); first_piece is false for the later pieces of a long
// line. Under a language's lexer, line_lit holds the line's literals, as
// the lexer found them. in must be readable CONVERT_PAD bytes past n, and out
// must hold convert_bound(n) bytes. Reads the settings.
inline unsigned char* convert_line(const unsigned char* in, std::size_t n, lex_state& lex, unsigned char* out,
                                   bool had_cr = false, bool first_piece = true,
                                   const std::uint64_t* line_lit = nullptr) {
  std::uint64_t special[mask_words(CONVERT_LINE_MAX)];
  return with_scan_settings([&]<bool CMode, charset Enc, bool IndentOnly, bool Lit>() {
    classify<CMode>(in, n, special);
    const converted c =
        convert_masked<CMode, Enc, IndentOnly, Lit>(in, special, 0, n, lex, grids{}, out, first_piece, line_lit);
    return c.newline ? line_end(c.out, had_cr) : c.out;
  });
}

// Most bytes convert_line writes for an n-byte line, padding included: a gap
// is never longer than the columns it covers, and the newline grows to CR LF.
constexpr std::size_t convert_bound(std::size_t n, int tab) { return expansion_bound(n, tab) + 2 + CONVERT_PAD; }

}  // namespace morek
