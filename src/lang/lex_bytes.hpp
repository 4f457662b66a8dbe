// The lexer's byte helpers: classes of bytes, bits of a mask, and the search
// for the next byte of a set, 16 at a time where the target has vectors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "simd.hpp"

namespace morek::lex {

inline constexpr std::size_t NONE = SIZE_MAX;

inline bool blank(unsigned char c) { return c == ' ' || c == '\t'; }
inline bool alpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool digit(unsigned char c) { return c >= '0' && c <= '9'; }
inline bool word_byte(unsigned char c) { return alpha(c) || digit(c) || c == '_' || c >= 0x80; }

// Sets (or clears) bits [from, to) of a mask.
inline void set_bits(std::uint64_t* m, std::size_t from, std::size_t to, bool on) {
  while (from < to) {
    const std::size_t w = from / 64;
    const std::size_t lo = from % 64;
    const std::size_t hi = to - 64 * w < 64 ? to - 64 * w : 64;
    const std::uint64_t bits = (hi == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << hi) - 1) & ~((std::uint64_t{1} << lo) - 1);
    m[w] = on ? m[w] | bits : m[w] & ~bits;
    from = 64 * w + hi;
  }
}

inline bool punctuation(unsigned char c) {
  return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

// A set of bytes to look for: a bit a byte, to test one byte at once, and
// each also spread over a vector.
struct byte_set {
  int count = 0;
  bool punct = false;  // also every ASCII punctuation byte (Perl's delimiters)
  std::uint64_t bits[4] = {};
#if defined(MOREK_SSE2)
  __m128i spread[28];
#endif
  bool has(unsigned char c) const { return (bits[c >> 6] >> (c & 63) & 1) != 0; }
  void add(unsigned char c) {
    if (has(c)) return;
    bits[c >> 6] |= std::uint64_t{1} << (c & 63);
#if defined(MOREK_SSE2)
    spread[count] = _mm_set1_epi8(static_cast<char>(c));
#endif
    ++count;
  }
  // Every ASCII punctuation byte, found by ranges rather than one by one.
  void add_punctuation() {
    punct = true;
    for (unsigned c = 0x21; c < 0x7F; ++c)
      if (punctuation(static_cast<unsigned char>(c))) bits[c >> 6] |= std::uint64_t{1} << (c & 63);
  }
  void clear() {
    count = 0;
    punct = false;
    bits[0] = bits[1] = bits[2] = bits[3] = 0;
  }
};

#if defined(MOREK_SSE2)
// Bytes of v in [lo, lo + width): shifted so that lo is the least signed byte.
inline __m128i in_range(__m128i v, int lo, int width) {
  const __m128i t = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(128 - lo)));
  return _mm_cmplt_epi8(t, _mm_set1_epi8(static_cast<char>(-128 + width)));
}

// The search with the punctuation ranges or without, each a loop of its
// own: a compiler may compute what one branch in the loop would skip.
template <bool Punct>
inline std::size_t find_any_in(const unsigned char* p, std::size_t i, std::size_t n, const byte_set& set) {
  while (i < n) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i hit = _mm_cmpeq_epi8(v, set.spread[0]);
    for (int j = 1; j < set.count; ++j) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, set.spread[j]));
    if constexpr (Punct)
      hit = _mm_or_si128(_mm_or_si128(hit, _mm_or_si128(in_range(v, 0x21, 15), in_range(v, 0x3A, 7))),
                         _mm_or_si128(in_range(v, 0x5B, 6), in_range(v, 0x7B, 4)));
    const auto m = static_cast<unsigned>(_mm_movemask_epi8(hit));
    if (m != 0) {
      i += static_cast<std::size_t>(__builtin_ctz(m));
      return i < n ? i : n;
    }
    i += 16;
  }
  return n;
}
#endif

// The first of p[i, n) that is in the set, or n. Reads up to 15 bytes past n.
inline std::size_t find_any(const unsigned char* p, std::size_t i, std::size_t n, const byte_set& set) {
#if defined(MOREK_SSE2)
  return set.punct ? find_any_in<true>(p, i, n, set) : find_any_in<false>(p, i, n, set);
#else
  for (; i < n; ++i)
    if (set.has(p[i])) return i;
  return n;
#endif
}

// Java's \uXXXX (any number of u's) at p[i], which stands for the code unit
// before anything else is read: its length, 0 when there is none there.
inline std::size_t unicode_escape(const unsigned char* p, std::size_t i, std::size_t n, unsigned& unit) {
  std::size_t k = i + 1;
  if (p[i] != '\\' || k >= n || p[k] != 'u') return 0;
  while (k < n && p[k] == 'u') ++k;
  if (n - k < 4) return 0;
  unsigned v = 0;
  for (const std::size_t e = k + 4; k < e; ++k) {
    const unsigned char c = p[k];
    const unsigned d = digit(c) ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : 16;
    if (d == 16) return 0;
    v = v * 16 + d;
  }
  unit = v;
  return k - i;
}

// The byte at p[i] as Java reads it (through a \uXXXX there), and its length.
inline unsigned char java_byte(const unsigned char* p, std::size_t i, std::size_t n, std::size_t& len) {
  unsigned unit = 0;
  len = unicode_escape(p, i, n, unit);
  if (len == 0) {
    len = 1;
    return p[i];
  }
  return unit < 0x80 ? static_cast<unsigned char>(unit) : 0x80;
}

// Past the line that holds p[i]: after its newline, or n.
inline std::size_t line_end(const unsigned char* p, std::size_t i, std::size_t n) {
  const void* nl = std::memchr(p + i, '\n', n - i);
  return nl != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - p) + 1 : n;
}

inline unsigned char closing_bracket(unsigned char c) {
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

// The word that ends at p + end.
inline std::string_view word_before(const unsigned char* p, std::size_t end) {
  std::size_t w = end;
  while (w > 0 && word_byte(p[w - 1])) --w;
  return {reinterpret_cast<const char*>(p + w), end - w};
}

inline bool one_of(std::string_view w, std::initializer_list<std::string_view> words) {
  for (const std::string_view c : words)
    if (w == c) return true;
  return false;
}

// Whether the bytes before p + at are one of the words, as a whole word.
inline bool prefix_is(const unsigned char* p, std::size_t at, std::initializer_list<std::string_view> words) {
  return one_of(word_before(p, at), words);
}

// Perl: whether the term before the byte at i is the filehandle of print,
// printf or say (print $fh <<EOF, print {$out} /a/), after which << starts
// a here-document and '/' a pattern. A handle's block is looked for within
// 256 bytes.
inline bool perl_print_handle_before(const unsigned char* p, std::size_t i) {
  std::size_t j = i;
  while (j > 0 && blank(p[j - 1])) --j;
  if (j == i || j == 0) return false;
  std::size_t k = j;
  if (p[k - 1] == '}') {
    std::size_t depth = 0;
    do {
      --k;
      if (p[k] == '}') {
        ++depth;
      } else if (p[k] == '{') {
        --depth;
      } else if (p[k] == '\n') {
        return false;
      }
    } while (depth > 0 && k > 0 && j - k < 256);
    if (depth > 0) return false;
  } else {
    while (k > 0 && word_byte(p[k - 1])) --k;
    if (k == j || k == 0 || p[k - 1] != '$') return false;
    --k;
  }
  while (k > 0 && blank(p[k - 1])) --k;
  return prefix_is(p, k, {"print", "printf", "say"});
}

}  // namespace morek::lex
