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
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "expand.hpp"
#include "retab.hpp"
#include "settings.hpp"

namespace morek {

// Bytes that must be readable past the end of what classify and the
// converter read, and writable past the end of what the converter writes.
inline constexpr std::size_t CONVERT_PAD = 64;
static_assert(CONVERT_PAD >= 32);

// Mask words needed for len bytes.
constexpr std::size_t mask_words(std::size_t len) { return len / 64 + 1; }

namespace detail {

constexpr bool blank_or_newline(unsigned char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Whether byte c, between before and after, needs a decision. A space
// between two bytes that are neither blanks nor newlines is a run of one,
// which is written as it is. Under -c, '/' and '*' matter only as halves of
// comment marks, and a backslash only before what it could escape: a quote, a
// backslash, or the line's end (the last byte of a line is always decided).
template <bool CMode>
constexpr bool needs_decision(unsigned char c, unsigned char before, unsigned char after) {
  if (c == ' ') return blank_or_newline(before) || blank_or_newline(after);
  if (c == '\t' || c == '\n' || c >= 0x80) return true;
  if constexpr (CMode) {
    if (c == '"' || c == '\'') return true;
    if (c == '/') return after == '*' || after == '/';
    if (c == '*') return after == '/';
    if (c == '\\') return after == '"' || after == '\'' || after == '\\' || after == '\n';
  }
  return false;
}

#if defined(__SSE2__)
// Bit k of the result is set where byte k of v is in the class.
inline std::uint64_t bits(__m128i hit, int k) {
  return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hit))) << (16 * k);
}
#endif

}  // namespace detail

// classify one byte at a time: where 16-byte vectors are missing, and as
// the reference for the vector version.
template <bool CMode>
void classify_bytewise(const unsigned char* p, std::size_t len, std::uint64_t* special) {
  for (std::size_t w = 0; w < mask_words(len); ++w) {
    std::uint64_t s = 0;
    for (std::size_t k = 0; k < 64; ++k) {
      const std::size_t i = 64 * w + k;
      const unsigned char before = i == 0 ? '\n' : p[i - 1];
      const unsigned char after = i + 1 < len ? p[i + 1] : 0;
      if (detail::needs_decision<CMode>(p[i], before, after)) s |= std::uint64_t{1} << k;
    }
    special[w] = s;
  }
}

namespace detail {

// Where in a 64-byte word each kind of byte stands, a bit a byte.
struct word_classes {
  std::uint64_t sp = 0, tb = 0, nl = 0, high = 0;  // space, tab, newline, 0x80 and up
  std::uint64_t dq = 0, sq = 0, sl = 0, st = 0, bs = 0;  // " ' / * and backslash, under -c
};

// The decision mask of a word from its classes; after is the byte that
// follows the word, blank_before says whether the one before it is a blank
// or newline, and is updated for the next word.
template <bool CMode>
inline std::uint64_t decide(const word_classes& c, unsigned char after, std::uint64_t& blank_before) {
  auto next = [](std::uint64_t m, bool after_in) { return (m >> 1) | (std::uint64_t{after_in} << 63); };
  const std::uint64_t bl = c.sp | c.tb | c.nl;
  const std::uint64_t blank_prev = (bl << 1) | blank_before;
  blank_before = bl >> 63;
  // Every byte from 0x80 up may be a lead byte; the converter sorts them out.
  std::uint64_t d = c.tb | c.nl | c.high | (c.sp & (blank_prev | next(bl, blank_or_newline(after))));
  if constexpr (CMode) {
    const std::uint64_t quotes = c.dq | c.sq;
    d |= quotes;
    d |= c.sl & next(c.st | c.sl, after == '*' || after == '/');
    d |= c.st & next(c.sl, after == '/');
    d |= c.bs & next(quotes | c.bs | c.nl, after == '"' || after == '\'' || after == '\\' || after == '\n');
  }
  return d;
}

// The byte after word w; past len its bit 63 means nothing anyway.
inline unsigned char after_word(const unsigned char* p, std::size_t len, std::size_t w) {
  return 64 * w + 64 <= len ? p[64 * w + 64] : 0;
}

#if defined(__SSE2__)
template <bool CMode>
void classify_sse2(const unsigned char* p, std::size_t len, std::uint64_t* special) {
  std::uint64_t blank_before = 1;
  for (std::size_t w = 0; w < mask_words(len); ++w) {
    word_classes c;
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 64 * w + 16 * static_cast<std::size_t>(k)));
      auto is = [&](char b) { return bits(_mm_cmpeq_epi8(v, _mm_set1_epi8(b)), k); };
      c.sp |= is(' ');
      c.tb |= is('\t');
      c.nl |= is('\n');
      c.high |= bits(v, k);
      if constexpr (CMode) {
        c.dq |= is('"');
        c.sq |= is('\'');
        c.sl |= is('/');
        c.st |= is('*');
        c.bs |= is('\\');
      }
    }
    special[w] = decide<CMode>(c, after_word(p, len, w), blank_before);
  }
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
#define MOREK_HAVE_AVX2 1
// Bit k * 32 + j is set where byte j of v is b.
__attribute__((target("avx2"))) inline std::uint64_t bits256(__m256i v, char b, int k) {
  const __m256i hit = _mm256_cmpeq_epi8(v, _mm256_set1_epi8(b));
  return static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(hit))) << (32 * k);
}

template <bool CMode>
__attribute__((target("avx2"))) void classify_avx2(const unsigned char* p, std::size_t len, std::uint64_t* special) {
  std::uint64_t blank_before = 1;
  for (std::size_t w = 0; w < mask_words(len); ++w) {
    word_classes c;
    for (int k = 0; k < 2; ++k) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64 * w + 32 * static_cast<std::size_t>(k)));
      c.sp |= bits256(v, ' ', k);
      c.tb |= bits256(v, '\t', k);
      c.nl |= bits256(v, '\n', k);
      c.high |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(v))) << (32 * k);
      if constexpr (CMode) {
        c.dq |= bits256(v, '"', k);
        c.sq |= bits256(v, '\'', k);
        c.sl |= bits256(v, '/', k);
        c.st |= bits256(v, '*', k);
        c.bs |= bits256(v, '\\', k);
      }
    }
    special[w] = decide<CMode>(c, after_word(p, len, w), blank_before);
  }
}
#endif

}  // namespace detail

// Sets bit i of special[i / 64] where byte p[i] needs a decision, for
// i < len; p[-1] counts as a newline. p must be readable CONVERT_PAD bytes
// past len; bits past len are meaningless.
template <bool CMode>
void classify(const unsigned char* p, std::size_t len, std::uint64_t* special) {
#if defined(MOREK_HAVE_AVX2)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) return detail::classify_avx2<CMode>(p, len, special);
#endif
#if defined(__SSE2__)
  detail::classify_sse2<CMode>(p, len, special);
#else
  classify_bytewise<CMode>(p, len, special);
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

// The tab stops of the input and of the output.
struct grids {
  tab_grid in{tab1};
  tab_grid out{tab2};
};

// What convert_masked did.
struct converted {
  unsigned char* out;  // end of what it wrote
  std::size_t end;     // end of what it read
  bool newline;        // a newline ended the line (else the scan reached to)
};

// Converts the line in[from, to) into o, with its newline (which ends the
// scan wherever it stands) written as CR LF. special is the mask that
// classify made for in.
template <bool CMode>
[[gnu::always_inline]] inline converted convert_masked(const unsigned char* in, const std::uint64_t* special,
                                                       std::size_t from, std::size_t to, lex_state& lex,
                                                       const grids& g, unsigned char* o) {
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
    if (c == '\n') return {detail::newline(o), i + 1, true};
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
      c = follow_lexical(in, i, to, lex, in_line_comment, [&](unsigned char mark, unsigned char) {
        take(mark, false);
        ++in_col;
      });
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
      if (second == '\n') return {detail::newline(o), i + 1, true};  // the pair took the newline
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

// Converts one line of n bytes (n <= CONVERT_LINE_MAX), ending in a newline
// unless it is the input's last line or a piece of a long one, into out and
// returns the end of what it wrote. in must be readable CONVERT_PAD bytes past
// n, and out must hold convert_bound(n) bytes. Reads tab1, tab2 and ign_str.
inline unsigned char* convert_line(const unsigned char* in, std::size_t n, lex_state& lex, unsigned char* out) {
  std::uint64_t special[mask_words(CONVERT_LINE_MAX)];
  if (ign_str == 1) {
    classify<true>(in, n, special);
    return convert_masked<true>(in, special, 0, n, lex, grids{}, out).out;
  }
  classify<false>(in, n, special);
  return convert_masked<false>(in, special, 0, n, lex, grids{}, out).out;
}

// Most bytes convert_line writes for an n-byte line, padding included: a gap
// is never longer than the columns it covers, and the newline grows to CR LF.
constexpr std::size_t convert_bound(std::size_t n, int tab) { return expansion_bound(n, tab) + 2 + CONVERT_PAD; }

}  // namespace morek
