// UTF-8 characters: where one ends and how many columns it shows.
#pragma once

#include <cstddef>

namespace morek {

struct utf8_char {
  unsigned len;  // bytes, 1 to 4
  int width;     // display columns, 0 to 2
};

namespace detail {
constexpr bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The widths of the code points below U+10000, taken from utf8proc at the
// first use: one load instead of a call on the hot path.
extern bool bmp_ready;
extern unsigned char bmp_width[0x10000];
void fill_bmp_widths();
int width_from_utf8proc(char32_t cp);
}  // namespace detail

// Columns of code point cp (0x80 or more), as utf8proc counts them, except
// that the C1 controls U+0080-U+009F count one, as ASCII controls do. The
// same for every locale.
inline int utf8_width(char32_t cp) {
  if (cp >= 0x10000) return detail::width_from_utf8proc(cp);
  if (!detail::bmp_ready) [[unlikely]]
    detail::fill_bmp_widths();
  return detail::bmp_width[cp];
}

// The character that starts at p[0] (a byte of 0x80 or more), within avail
// bytes (1 or more). A well-formed sequence (shortest form, no surrogates, at
// most U+10FFFF) is one character; any other byte is a character of its own,
// one column wide, and takes nothing after it.
inline utf8_char utf8_at(const unsigned char* p, std::size_t avail) {
  constexpr utf8_char lone{1, 1};
  const unsigned char c = p[0];
  auto tail = [&](std::size_t n) {
    for (std::size_t k = 1; k <= n; ++k)
      if (k >= avail || !detail::continuation(p[k])) return false;
    return true;
  };
  if (c >= 0xC2 && c <= 0xDF) {
    if (!tail(1)) return lone;
    return {2, utf8_width(static_cast<char32_t>((c & 0x1F) << 6 | (p[1] & 0x3F)))};
  }
  if (c >= 0xE0 && c <= 0xEF) {
    if (!tail(2) || (c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] > 0x9F)) return lone;  // overlong, surrogate
    return {3, utf8_width(static_cast<char32_t>((c & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F)))};
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!tail(3) || (c == 0xF0 && p[1] < 0x90) || (c == 0xF4 && p[1] > 0x8F)) return lone;  // overlong, past U+10FFFF
    return {4, utf8_width(
                   static_cast<char32_t>((c & 0x07) << 18 | (p[1] & 0x3F) << 12 | (p[2] & 0x3F) << 6 | (p[3] & 0x3F)))};
  }
  return lone;
}

}  // namespace morek
