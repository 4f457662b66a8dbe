// The tool's line converter: expand_line and retab_line fused into one scan
// that needs no intermediate buffers. It writes exactly what retab_line
// writes for what expand_line makes of the same line (a randomized test holds
// the two to that).
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "expand.hpp"
#include "retab.hpp"
#include "settings.hpp"

namespace morek {

// Bytes the converter may read past the end of the line and write past the
// end of what it writes: it moves whole 16-byte blocks.
inline constexpr std::size_t CONVERT_PAD = 16;

namespace detail {

// Bytes that end a stretch of ordinary bytes: blanks, the newline and lead
// bytes always; under -c also the bytes the C lexical state looks at.
constexpr std::array<bool, 256> special_bytes(bool c_mode) {
  std::array<bool, 256> t{};
  for (int b = 0; b < 256; ++b) t[b] = is_lead(static_cast<unsigned char>(b));
  t[' '] = t['\t'] = t['\n'] = true;
  if (c_mode) t['"'] = t['\''] = t['/'] = t['*'] = t['\\'] = true;
  return t;
}
inline constexpr auto special_plain = special_bytes(false);
inline constexpr auto special_c = special_bytes(true);

// Copies the ordinary bytes from in[i] on to o, up to the first special byte
// or n, whichever comes first; returns how many.
template <bool CMode>
inline std::size_t copy_ordinary(const unsigned char* in, std::size_t i, std::size_t n, unsigned char*& o,
                                 bool in_protected_literal) {
  const auto& special = CMode ? special_c : special_plain;
  const std::size_t start = i;
#if defined(__SSE2__)
  // A space between two bytes that are neither blanks nor newlines is a run of
  // one, which is written as it is: it is copied like an ordinary byte.
  auto blank = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\n'; };
  const __m128i space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t'), nl = _mm_set1_epi8('\n');
  unsigned after_blank = i > 0 && blank(in[i - 1]) ? 1u : 0u;
  while (i < n) {
    // 16 bytes at a time up to a byte that may be special; every byte from
    // 0x80 up stops the scan, and the table then says whether it is a lead byte.
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
    const __m128i is_space = _mm_cmpeq_epi8(v, space);
    __m128i other = _mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, nl));
    if constexpr (CMode) {
      other = _mm_or_si128(other, _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')),
                                               _mm_cmpeq_epi8(v, _mm_set1_epi8('\''))));
      other = _mm_or_si128(other, _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('/')),
                                               _mm_cmpeq_epi8(v, _mm_set1_epi8('*'))));
      other = _mm_or_si128(other, _mm_cmpeq_epi8(v, _mm_set1_epi8('\\')));
    }
    const auto spaces = static_cast<unsigned>(_mm_movemask_epi8(is_space));
    const auto blanks = spaces | static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
                                     _mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, nl))));
    const unsigned next_blank = (blanks >> 1) | (blank(in[i + 16]) ? 0x8000u : 0u);
    const unsigned prev_blank = ((blanks << 1) | after_blank) & 0xFFFFu;
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(other) | _mm_movemask_epi8(v)) |
                          (spaces & (next_blank | prev_blank));
    after_blank = blanks >> 15;
    const std::size_t left = n - i;
    std::size_t step = mask != 0 ? static_cast<std::size_t>(__builtin_ctz(mask)) : 16;
    if (step > left) step = left;
    o += step;
    i += step;
    if (step == 16) continue;
    if (i == n || special[in[i]]) break;
    *o++ = in[i++];  // a high byte that is no lead byte
    after_blank = 0;
  }
  // A convertible space copied as the line's last byte had nothing after it:
  // it is a trailing blank, and those are dropped.
  if (i == n && i > start && in[n - 1] == ' ' && !in_protected_literal) --o;
#else
  (void)in_protected_literal;
  while (i < n && !special[in[i]]) *o++ = in[i++];
#endif
  return i - start;
}

// Fills a gap: short ones with one 16-byte store.
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

inline unsigned char* newline(unsigned char* o) {
  o[0] = '\r';
  o[1] = '\n';
  return o + 2;
}

template <bool CMode>
unsigned char* convert_line(const unsigned char* in, std::size_t n, lex_state& lex, unsigned char* o) {
  const auto& special = CMode ? special_c : special_plain;
  const tab_grid grid1(tab1), grid2(tab2);
  column in_col = 0;             // column on the tab1 grid, as the expansion counts
  column out_col = 0;            // column on the tab2 grid, as the output shows
  bool in_run = false;           // a run of convertible spaces is pending
  column run_start = 0;          // output column of the pending run's first space
  bool in_line_comment = false;  // after "//" on this line

  auto close_run = [&] {
    if (in_run) {
      const gap g = chg_gap(run_start, out_col, grid2);
      o = fill(fill(o, '\t', g.tabs), ' ', g.spaces);
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

  std::size_t i = 0;
  while (i < n) {
    unsigned char c = in[i];
    if (!special[c]) {
      close_run();
      const std::size_t copied = copy_ordinary<CMode>(in, i, n, o, CMode && lex.quote != 0);
      i += copied;
      const auto k = static_cast<column>(copied);
      in_col += k;
      out_col += k;
      if (CMode && lex.quote != 0) lex.escape = -1;
      continue;
    }
    if (c == '\n') return newline(o);
    if ((c == ' ' || c == '\t') && !(CMode && lex.quote != 0)) {
      // Blanks outside literals touch no lexical state: only the column where
      // their run ends counts.
      column col = in_col;
      do {
        col += in[i] == ' ' ? 1 : grid1.to_next_stop(col);
        ++i;
      } while (i < n && (in[i] == ' ' || in[i] == '\t'));
      add_spaces(col - in_col);
      in_col = col;
      continue;
    }
    if constexpr (CMode) {
      auto next_is = [&](unsigned char want) { return i + 1 < n && in[i + 1] == want; };
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
    } else if (is_lead(c) && i + 1 < n && in[i + 1] != '\0') {
      take(c, protect);
      const unsigned char second = in[++i];
      if (second == '\n') return newline(o);  // the pair took the newline: the line ends here
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

}  // namespace detail

// Converts one line (ending in a newline unless it is the input's last line
// or a piece of a long one) into out, with the newline written as CR LF, and
// returns the end of what it wrote. in must be readable CONVERT_PAD bytes past
// n, and out must hold convert_bound(n) bytes. Reads tab1, tab2 and ign_str.
inline unsigned char* convert_line(const unsigned char* in, std::size_t n, lex_state& lex, unsigned char* out) {
  return ign_str == 1 ? detail::convert_line<true>(in, n, lex, out) : detail::convert_line<false>(in, n, lex, out);
}

// Most bytes convert_line writes for an n-byte line, padding included: a gap
// is never longer than the columns it covers, and the newline grows to CR LF.
constexpr std::size_t convert_bound(std::size_t n, int tab) { return expansion_bound(n, tab) + 2 + CONVERT_PAD; }

}  // namespace morek
