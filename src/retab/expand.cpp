#include "expand.hpp"

#include "utf8.hpp"

namespace morek {

std::size_t indentation_end(const unsigned char* in, std::size_t n, bool first_piece, const lex_state& lex) {
  if (!first_piece || (ign_str == 1 && lex.quote != 0)) return 0;
  std::size_t i = 0;
  while (i < n && (in[i] == ' ' || in[i] == '\t')) ++i;
  return i < n && in[i] != '\n' ? i : 0;
}

std::size_t expand_line(std::span<const unsigned char> in, unsigned char* exp, unsigned char* flg, lex_state& lex,
                        bool first_piece) {
  const std::size_t n = in.size();
  // Bytes from here on are the rest of the line, kept as they are.
  const std::size_t rest = indent_only == 0   ? n
                           : indent_only == 1 ? indentation_end(in.data(), n, first_piece, lex)
                                              : 0;
  const bool keep_tabs = tab1 == tab2;  // and so always under --spaces
  std::size_t o = 0;
  column col = 0;
  bool in_line_comment = false;  // after "//" on this line
  auto emit = [&](unsigned char c, unsigned char flag) {
    exp[o] = c;
    flg[o] = flag;
    ++o;
  };

  for (std::size_t i = 0; i < n; ++i) {
    if (in[i] == '\n') {
      exp[o++] = '\n';
      break;
    }
    const unsigned char c =
        follow_lexical(in.data(), i, n, lex, in_line_comment, [&](unsigned char mark, unsigned char flag) {
          emit(mark, flag);
          ++col;
        });

    const bool in_literal = lex.quote != 0 && ign_str == 1;
    const bool kept = i >= rest;
    const bool protect = in_literal || kept;
    const unsigned char flag = protect ? FLG_PROTECTED : FLG_CONVERTIBLE;
    if (c == '\t') {
      const column step = tab1 - col % tab1;
      col += step;
      if (in_literal || (kept && keep_tabs)) {
        emit('\t', FLG_PROTECTED);
      } else {
        for (column k = 0; k < step; ++k) emit(' ', flag);
      }
    } else if (utf8_input == 1 && c >= 0x80) {
      // A UTF-8 character is copied whole and counts its display width.
      const utf8_char u = utf8_at(in.data() + i, n - i);
      for (unsigned k = 0; k < u.len; ++k) emit(in[i + k], flag);
      i += u.len - 1;
      col += u.width;
    } else if (utf8_input == 0 && latin1_input == 0 && sjis_lead(c) && i + 1 < n && in[i + 1] != '\0') {
      // A double-byte character is copied whole; a NUL never pairs.
      emit(c, flag);
      emit(in[++i], flag);
      col += 2;
    } else {
      emit(c, flag);
      ++col;
    }
  }
  return o;
}

}  // namespace morek
