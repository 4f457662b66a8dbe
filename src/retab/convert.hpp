// The tool's line converter: expand_line and retab_line fused into one scan
// that needs no intermediate buffers. It writes exactly what retab_line
// writes for what expand_line makes of the same line (a randomized test holds
// the two to that).
//
// The scan is driven by bit masks of the bytes that need a decision (blanks
// next to blanks, tabs, newlines, lead bytes and, under -c, the bytes of the
// C lexical state), made 64 bytes at a time by classify; everything between
// two such bytes is copied as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "expand.hpp"
#include "retab.hpp"
#include "settings.hpp"

namespace morek {

// Bytes that must be readable past the end of what classify and the
// converter read, and writable past the end of what the converter writes.
inline constexpr std::size_t CONVERT_PAD = 64;

// Mask words needed for len bytes.
constexpr std::size_t mask_words(std::size_t len) { return len / 64 + 1; }

namespace detail {

constexpr bool blank_or_newline(unsigned char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Whether the byte can take part in the C lexical state.
constexpr bool c_token(unsigned char c) { return c == '"' || c == '\'' || c == '/' || c == '*' || c == '\\'; }

// A space between two bytes that are neither blanks nor newlines is a run of
// one, which is written as it is: it needs no decision.
template <bool CMode>
constexpr bool needs_decision(unsigned char c, unsigned char before, unsigned char after) {
  if (c == ' ') return blank_or_newline(before) || blank_or_newline(after);
  return c == '\t' || c == '\n' || c >= 0x80 || (CMode && c_token(c));
}

#if defined(__SSE2__)
// Bit k of the result is set where byte k of v is in the class.
inline std::uint64_t bits(__m128i hit, int k) {
  return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hit))) << (16 * k);
}
#endif

}  // namespace detail

// Sets bit i of special[i / 64] where byte p[i] needs a decision, and of
// newline[i / 64] where it is a newline, for i < len. p[-1] counts as a
// newline. p must be readable CONVERT_PAD bytes past len; bits past len are
// meaningless.
template <bool CMode>
void classify(const unsigned char* p, std::size_t len, std::uint64_t* special, std::uint64_t* newline) {
  const std::size_t words = mask_words(len);
  std::uint64_t blank_before = 1;  // bit 0: the byte before the word is a blank or newline
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t'), nl = _mm_set1_epi8('\n');
  for (std::size_t w = 0; w < words; ++w) {
    std::uint64_t sp = 0, tb = 0, nls = 0, high = 0, token = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 64 * w + 16 * static_cast<std::size_t>(k)));
      sp |= detail::bits(_mm_cmpeq_epi8(v, space), k);
      tb |= detail::bits(_mm_cmpeq_epi8(v, tab), k);
      nls |= detail::bits(_mm_cmpeq_epi8(v, nl), k);
      // Every byte from 0x80 up may be a lead byte; the converter sorts them out.
      high |= detail::bits(v, k);
      if constexpr (CMode) {
        __m128i t = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\'')));
        t = _mm_or_si128(t, _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('/')), _mm_cmpeq_epi8(v, _mm_set1_epi8('*'))));
        token |= detail::bits(_mm_or_si128(t, _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))), k);
      }
    }
    const std::uint64_t bl = sp | tb | nls;
    const std::uint64_t other = tb | nls | high | token;
    // The byte after the word; past len + 1 its bit 63 means nothing anyway.
    const std::uint64_t after = 64 * w + 64 <= len && detail::blank_or_newline(p[64 * w + 64]) ? 1 : 0;
    const std::uint64_t blank_prev = (bl << 1) | blank_before;
    const std::uint64_t blank_next = (bl >> 1) | (after << 63);
    special[w] = other | (sp & (blank_prev | blank_next));
    newline[w] = nls;
    blank_before = bl >> 63;
  }
#else
  for (std::size_t w = 0; w < words; ++w) {
    std::uint64_t s = 0, n = 0;
    for (std::size_t k = 0; k < 64; ++k) {
      const std::size_t i = 64 * w + k;
      const unsigned char before = i == 0 ? '\n' : p[i - 1];
      if (detail::needs_decision<CMode>(p[i], before, p[i + 1])) s |= std::uint64_t{1} << k;
      if (p[i] == '\n') n |= std::uint64_t{1} << k;
    }
    special[w] = s;
    newline[w] = n;
  }
  (void)blank_before;
#endif
}

// The first position from i on, before stop, whose bit is set; stop if none.
inline std::size_t next_bit(const std::uint64_t* mask, std::size_t i, std::size_t stop) {
  std::size_t w = i / 64;
  std::uint64_t b = mask[w] & (~std::uint64_t{0} << (i % 64));
  while (b == 0) {
    if (++w * 64 >= stop) return stop;
    b = mask[w];
  }
  const std::size_t at = w * 64 + static_cast<std::size_t>(__builtin_ctzll(b));
  return at < stop ? at : stop;
}

namespace detail {

// Copies len bytes, 16 at a time: both sides have padding for the last block.
inline unsigned char* copy_bytes(unsigned char* o, const unsigned char* from, std::size_t len) {
#if defined(__SSE2__)
  for (std::size_t k = 0; k < len; k += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + k), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k)));
#else
  std::memcpy(o, from, len);
#endif
  return o + len;
}

// Fills a gap; short ones with one 16-byte store.
inline unsigned char* fill(unsigned char* o, unsigned char c, int count) {
  if (count <= 16) {
#if defined(__SSE2__)
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
#if defined(__SSE2__)
  const auto not_space = ~static_cast<unsigned>(_mm_movemask_epi8(
      _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8(' '))));
  const auto k = static_cast<std::size_t>(__builtin_ctz(not_space | 0x10000u));
#else
  std::size_t k = 0;
  while (k < 16 && p[k] == ' ') ++k;
#endif
  return k < limit ? k : limit;
}

inline unsigned char* newline(unsigned char* o) {
  o[0] = '\r';
  o[1] = '\n';
  return o + 2;
}

}  // namespace detail

// Converts the line in[from, to) into o, with its newline (which ends the
// scan wherever it stands) written as CR LF, and returns the end of what it
// wrote. special is the mask that classify made for in.
// The tab stops of the input and of the output.
struct grids {
  tab_grid in{tab1};
  tab_grid out{tab2};
};

template <bool CMode>
[[gnu::always_inline]] inline unsigned char* convert_masked(const unsigned char* in, const std::uint64_t* special, std::size_t from, std::size_t to,
                              lex_state& lex, const grids& g, unsigned char* o) {
  const tab_grid& grid1 = g.in;
  const tab_grid& grid2 = g.out;
  column in_col = 0;             // column on the tab1 grid, as the expansion counts
  column out_col = 0;            // column on the tab2 grid, as the output shows
  bool in_run = false;           // a run of convertible spaces is pending
  column run_start = 0;          // output column of the pending run's first space
  bool in_line_comment = false;  // after "//" on this line

  auto close_run = [&] {
    if (in_run) {
      const gap g = chg_gap(run_start, out_col, grid2);
      o = detail::fill(detail::fill(o, '\t', g.tabs), ' ', g.spaces);
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
  auto take = [&](unsigned char c, bool protect) {
    if (c == ' ' && !protect) {
      add_spaces(1);
      return;
    }
    close_run();
    *o++ = c;
    out_col += (c == '\t' && protect) ? grid2.to_next_stop(out_col) : 1;
  };

  std::size_t i = from;
  while (i < to) {
    const std::size_t next = next_bit(special, i, to);
    if (next > i) {
      close_run();
      o = detail::copy_bytes(o, in + i, next - i);
      const auto k = static_cast<column>(next - i);
      in_col += k;
      out_col += k;
      if (CMode && lex.quote != 0) lex.escape = -1;
      i = next;
      if (i == to) {
        // A convertible space copied as the last byte had nothing after it:
        // it is a trailing blank, and those are dropped.
        if (in[i - 1] == ' ' && !(CMode && lex.quote != 0)) --o;
        break;
      }
    }
    unsigned char c = in[i];
    if (c == '\n') return detail::newline(o);
    if ((c == ' ' || c == '\t') && !(CMode && lex.quote != 0)) {
      // Blanks outside literals touch no lexical state: only the column where
      // their run ends counts.
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
      } while (i < to && (in[i] == ' ' || in[i] == '\t'));
      add_spaces(col - in_col);
      in_col = col;
      continue;
    }
    if constexpr (CMode) {
      auto next_is = [&](unsigned char want) { return i + 1 < to && in[i + 1] == want; };
      if (lex.quote == 0 && !in_line_comment) {
        if (c == '/' && next_is('*')) {
          take('/', false);
          ++in_col;
          c = in[++i];
          lex.in_block = true;
        } else if (c == '*' && next_is('/')) {
          take('*', false);
          ++in_col;
          c = in[++i];
          lex.in_block = false;
        }
      }
      if (lex.quote == 0 && !lex.in_block && c == '/' && next_is('/')) {
        take('/', false);
        ++in_col;
        c = in[++i];
        in_line_comment = true;
      }
      if (!lex.in_block && !in_line_comment) {
        if ((c == '"' || c == '\'') && lex.escape != 1) {
          if (lex.quote == 0) {
            lex.quote = c;
            lex.escape = -1;
          } else if (c == lex.quote) {
            lex.quote = 0;
          }
        }
        if (lex.quote != 0) lex.escape = c == '\\' ? -lex.escape : -1;
      }
    }
    const bool protect = CMode && lex.quote != 0;
    if (c == '\t') {
      const column step = grid1.to_next_stop(in_col);
      in_col += step;
      if (protect)
        take('\t', true);
      else
        add_spaces(step);
    } else if (is_lead(c) && i + 1 < to && in[i + 1] != '\0') {
      take(c, protect);
      const unsigned char second = in[++i];
      if (second == '\n') return detail::newline(o);  // the pair took the newline: the line ends here
      take(second, protect);
      in_col += 2;
    } else {
      take(c, protect);
      ++in_col;
    }
    ++i;
  }
  return o;
}

// Longest line convert_line takes.
inline constexpr std::size_t CONVERT_LINE_MAX = 1024;

// Converts one line of n bytes (n <= CONVERT_LINE_MAX), ending in a newline
// unless it is the input's last line or a piece of a long one, into out and
// returns the end of what it wrote. in must be readable CONVERT_PAD bytes past
// n, and out must hold convert_bound(n) bytes. Reads tab1, tab2 and ign_str.
inline unsigned char* convert_line(const unsigned char* in, std::size_t n, lex_state& lex, unsigned char* out) {
  std::uint64_t special[mask_words(CONVERT_LINE_MAX)], newline[mask_words(CONVERT_LINE_MAX)];
  if (ign_str == 1) {
    classify<true>(in, n, special, newline);
    return convert_masked<true>(in, special, 0, n, lex, grids{}, out);
  }
  classify<false>(in, n, special, newline);
  return convert_masked<false>(in, special, 0, n, lex, grids{}, out);
}

// Most bytes convert_line writes for an n-byte line, padding included: a gap
// is never longer than the columns it covers, and the newline grows to CR LF.
constexpr std::size_t convert_bound(std::size_t n, int tab) { return expansion_bound(n, tab) + 2 + CONVERT_PAD; }

}  // namespace morek
