// The bytes of text that need a decision from the converter, as bit masks
// made 32 or 64 bytes at a time: blanks next to blanks, tabs, newlines, bytes
// from 0x80 up and, under -c, quotes, comment marks and backslashes before
// what they could escape. Everything else is copied as it stands.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd.hpp"

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

#if defined(MOREK_SSE2)
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
  std::uint64_t sp = 0, tb = 0, nl = 0, high = 0;        // space, tab, newline, 0x80 and up
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

#if defined(MOREK_SSE2)
template <bool CMode>
void classify_sse2(const unsigned char* p, std::size_t len, std::uint64_t* special) {
  std::uint64_t blank_before = 1;
  for (std::size_t w = 0; w < mask_words(len); ++w) {
    word_classes c;
    for (int k = 0; k < 4; ++k) {
      const __m128i v =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 64 * w + 16 * static_cast<std::size_t>(k)));
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

#if defined(MOREK_AVX2)
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
      const __m256i v =
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64 * w + 32 * static_cast<std::size_t>(k)));
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
#if defined(MOREK_AVX2)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) return detail::classify_avx2<CMode>(p, len, special);
#endif
#if defined(MOREK_SSE2)
  detail::classify_sse2<CMode>(p, len, special);
#else
  classify_bytewise<CMode>(p, len, special);
#endif
}

// The first position from i on, before stop, whose bit is set; stop if none.
// Whether bit k of the mask is set.
inline bool mask_bit(const std::uint64_t* mask, std::size_t k) { return ((mask[k / 64] >> (k % 64)) & 1) != 0; }

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

}  // namespace morek
