// The expansion pass: input tabs become spaces at tab1, and every byte gets
// a flag saying whether the re-tabulation pass may fold it into a tab.
#pragma once

#include <cstddef>
#include <span>

#include "settings.hpp"

namespace morek {

inline constexpr unsigned char FLG_PROTECTED = 0;
inline constexpr unsigned char FLG_CONVERTIBLE = 1;

// C lexical state that lives from the first line of the input to the last:
// a literal or block comment left open at a line's end stays open.
struct lex_state {
  int quote = 0;          // byte that opened the current literal ('"' or '\''), 0 outside
  bool in_block = false;  // inside /* ... */
  int escape = -1;        // +1: the previous literal byte was an unpaired backslash
};

// Most bytes the expansion of an n-byte line can take: a tab grows to at most
// tab1 spaces.
constexpr std::size_t expansion_bound(std::size_t n, int tab) { return n * static_cast<std::size_t>(tab) + 1; }

// Expands one line (ending in a newline unless it is the input's last line or
// a piece of a long one) into exp and flg, which need expansion_bound(size)
// bytes. Stops after the first newline. Returns the count of bytes in exp; a
// newline is the last of them and has no meaningful flag.
std::size_t expand_line(std::span<const unsigned char> in, unsigned char* exp, unsigned char* flg,
                        lex_state& lex);

}  // namespace morek
