#include "sjis.hpp"

#include <cstring>

namespace morek {

namespace {

inline unsigned char byte(const char* p) { return static_cast<unsigned char>(*p); }

// Bytes to the next character for the searches: a lead byte pairs with the
// byte after it unless that is the terminator.
inline int search_step(const char* p) { return sjis_lead(byte(p)) && p[1] != '\0' ? 2 : 1; }

// For comparison and case mapping every byte from 0x80 up starts a pair,
// except half-width katakana.
inline bool pair_start(unsigned char c) { return c >= 0x80 && !sjis_kana(c); }

inline unsigned char fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; }

}  // namespace

const char* Strchr(const char* s, int ch) {
  const auto c = static_cast<unsigned char>(ch);
  for (const char* p = s; *p != '\0'; p += search_step(p))
    if (byte(p) == c) return p;
  return nullptr;
}

const char* Strrchr(const char* s, int ch) {
  const auto c = static_cast<unsigned char>(ch);
  const char* last = nullptr;
  for (const char* p = s; *p != '\0'; p += search_step(p))
    if (byte(p) == c) last = p;
  return last;
}

const char* index(const char* s, int ch) {
  const auto c = static_cast<unsigned char>(ch);
  for (const char* p = s; *p != '\0'; ++p)
    if (byte(p) == c) return p;
  return nullptr;
}

const char* rindex(const char* s, int ch) {
  const auto c = static_cast<unsigned char>(ch);
  for (const char* p = s + std::strlen(s); p != s;)
    if (byte(--p) == c) return p;
  return nullptr;
}

const char* index1(const char* s, const char* t) {
  for (const char* start = s; *start != '\0'; ++start) {
    const char* p = start;
    const char* q = t;
    while (*p != '\0' && *q != '\0' && *p == *q) {
      ++p;
      ++q;
    }
    if (*q == '\0') return start;
  }
  return nullptr;
}

const char* index2(const char* s, const char* set) {
  for (const char* p = s; *p != '\0'; ++p)
    for (const char* m = set; *m != '\0'; ++m)
      if (*m == *p) return p;
  return nullptr;
}

const char* srch_wild(const char* s) {
  for (const char* p = s; *p != '\0'; ++p)
    if (*p == '*' || *p == '?') return p;
  return nullptr;
}

const char* sp_skip(const char* s) {
  while (*s == ' ' || *s == '\t') ++s;
  return s;
}

const char* chr_skip(const char* s) {
  while (*s != '\0' && *s != ' ' && *s != '\t') ++s;
  return s;
}

int insChar(char* s, int ch) {
  std::memmove(s + 1, s, std::strlen(s) + 1);
  s[0] = static_cast<char>(ch);
  return 0;
}

int StrCmp(const char* a, const char* b) {
  while (*a != '\0' && *b != '\0') {
    const unsigned char ua = byte(a), ub = byte(b);
    const bool ascii_a = ua < 0x80, ascii_b = ub < 0x80;
    if (ascii_a != ascii_b) return ascii_a ? -1 : 1;
    if (ascii_a) {
      const unsigned char fa = fold(ua), fb = fold(ub);
      if (fa == fb) {
        ++a;
        ++b;
        continue;
      }
      if (fa == '\\') return -1;
      if (fb == '\\') return 1;
      return fa < fb ? -1 : 1;
    }
    const bool kana_a = sjis_kana(ua), kana_b = sjis_kana(ub);
    if (kana_a != kana_b) return kana_a ? -1 : 1;
    if (ua != ub) return ua < ub ? -1 : 1;
    if (kana_a) {
      ++a;
      ++b;
      continue;
    }
    // Equal first bytes of a pair: the second bytes decide, a terminator lowest.
    const unsigned char sa = byte(a + 1), sb = byte(b + 1);
    if (sa != sb) return sa < sb ? -1 : 1;
    if (sa == '\0') return 0;
    a += 2;
    b += 2;
  }
  if (*a != '\0') return 1;
  if (*b != '\0') return -1;
  return 0;
}

void clear(char* buf, int ch, int n) {
  if (n > 0) std::memset(buf, static_cast<unsigned char>(ch), static_cast<std::size_t>(n));
}

namespace {

template <class Map>
int map_case(char* s, Map map) {
  for (char* p = s; *p != '\0';) {
    const unsigned char c = byte(p);
    if (c < 0x80) {
      *p = static_cast<char>(map(c));
      ++p;
    } else {
      p += pair_start(c) && p[1] != '\0' ? 2 : 1;
    }
  }
  return 0;
}

}  // namespace

int to_upper(char* s) {
  return map_case(s, [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 0x20 : c; });
}

int to_lower(char* s) { return map_case(s, fold); }

}  // namespace morek
