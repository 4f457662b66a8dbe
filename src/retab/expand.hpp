// The expansion pass: input tabs become spaces at tab1, and every byte gets
// a flag saying whether the re-tabulation pass may fold it into a tab.
#pragma once

#include <cstddef>
#include <span>

#include "makefile.hpp"
#include "settings.hpp"
#include "sjis.hpp"

namespace morek {

inline constexpr unsigned char FLG_PROTECTED = 0;
inline constexpr unsigned char FLG_CONVERTIBLE = 1;

// C lexical state that lives from the first line of the input to the last:
// a literal or block comment left open at a line's end stays open.
struct lex_state {
  int quote = 0;          // byte that opened the current literal ('"' or '\''), 0 outside
  bool in_block = false;  // inside /* ... */
  int escape = -1;        // +1: the previous literal byte was an unpaired backslash
  make_state make{};      // a makefile's lines (the file modes)
};

// Follows the C lexical state over the byte at in[i] of an n-byte line:
// comment marks first, then literal delimiters and backslash escapes. The
// first byte of a comment mark goes to emit_mark(byte, flag), and the scan
// steps on to the mark's second byte, which it returns as the byte now
// current (else it returns in[i]).
template <class EmitMark>
[[gnu::always_inline]] inline unsigned char follow_lexical(const unsigned char* in, std::size_t& i, std::size_t n,
                                                           lex_state& lex, bool& in_line_comment, EmitMark emit_mark) {
  unsigned char c = in[i];
  auto next_is = [&](unsigned char want) { return i + 1 < n && in[i + 1] == want; };
  if (lex.quote == 0 && !in_line_comment) {
    if (c == '/' && next_is('*')) {
      emit_mark('/', FLG_PROTECTED);
      c = in[++i];
      lex.in_block = true;
    } else if (c == '*' && next_is('/')) {  // also outside a comment, where it clears nothing
      emit_mark('*', FLG_CONVERTIBLE);
      c = in[++i];
      lex.in_block = false;
    }
  }
  // The slash that closes a block comment can open a line comment.
  if (lex.quote == 0 && !lex.in_block && c == '/' && next_is('/')) {
    emit_mark('/', FLG_PROTECTED);
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
  return c;
}

// Most bytes the expansion of an n-byte line can take: a tab grows to at most
// tab1 spaces.
constexpr std::size_t expansion_bound(std::size_t n, int tab) { return n * static_cast<std::size_t>(tab) + 1; }

// Where a line's indentation ends under --indent-only: after the blanks that
// open it, when something other than a blank or the newline follows them
// within the n bytes; a line of blanks only, a piece after the first
// (first_piece false) and, under -c, a line that begins inside a literal
// have none (0).
std::size_t indentation_end(const unsigned char* in, std::size_t n, bool first_piece, const lex_state& lex);

// Expands one line (ending in a newline unless it is the input's last line or
// a piece of a long one) into exp and flg, which need expansion_bound(size)
// bytes. Stops after the first newline. Returns the count of bytes in exp; a
// newline is the last of them and has no meaningful flag. Under
// --indent-only, every byte after the indentation is protected, and a tab
// there outside a literal stays a tab where tab1 and tab2 agree (without
// --spaces), else becomes the spaces that reach its stop at tab1.
std::size_t expand_line(std::span<const unsigned char> in, unsigned char* exp, unsigned char* flg, lex_state& lex,
                        bool first_piece = true);

}  // namespace morek
