// String routines over NUL-terminated byte strings that may hold Shift-JIS.
// Strchr, Strrchr, StrCmp, to_upper and to_lower walk whole characters and
// never take the second byte of a double-byte character for a character of
// its own; the others work byte by byte. Only the low 8 bits of a character
// argument count, and every byte is compared as unsigned.
#pragma once

namespace morek {

// First byte of a double-byte character, for the searches: 0x80-0x9F, 0xE0-0xFC.
constexpr bool sjis_lead(unsigned char c) { return (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Half-width katakana, a single-byte character: 0xA1-0xDF.
constexpr bool sjis_kana(unsigned char c) { return c >= 0xA1 && c <= 0xDF; }

// First character of s whose first byte is ch; null if none (always for ch 0).
const char* Strchr(const char* s, int ch);
inline char* Strchr(char* s, int ch) { return const_cast<char*>(Strchr(static_cast<const char*>(s), ch)); }
// Last such character; null if none.
const char* Strrchr(const char* s, int ch);
inline char* Strrchr(char* s, int ch) { return const_cast<char*>(Strrchr(static_cast<const char*>(s), ch)); }

// Byte-wise: first / last byte equal to ch; null if none.
const char* index(const char* s, int ch);
const char* rindex(const char* s, int ch);
// First position of s where t follows; null if none, and always for an empty s.
const char* index1(const char* s, const char* t);
// First byte of s that occurs in set; null if none.
const char* index2(const char* s, const char* set);
// First '*' or '?'; null if none.
const char* srch_wild(const char* s);
// First byte that is not a space or tab / that is a space or tab; the
// terminator if there is none.
const char* sp_skip(const char* s);
const char* chr_skip(const char* s);

// Puts ch in front of s, which needs room for its length plus 2 bytes. Returns 0.
int insChar(char* s, int ch);

// File-name order: -1, 0 or 1. Letters compare without case, the backslash
// sorts below everything, then other ASCII, half-width katakana, and
// double-byte characters by their bytes; a prefix sorts first.
int StrCmp(const char* a, const char* b);

// Stores ch in buf[0..n); nothing for n <= 0.
void clear(char* buf, int ch, int n);

// ASCII letters to upper / lower case in place, leaving double-byte
// characters alone. Return 0.
int to_upper(char* s);
int to_lower(char* s);

}  // namespace morek
