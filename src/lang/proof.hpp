// The proof that a conversion kept what a text means, run on every result
// before it is written: the converted text is lexed again and compared with
// the original, literal by literal, and by the structure of the kinds of file
// whose blanks are syntax.
#pragma once

#include <cstddef>
#include <string_view>

#include "kinds.hpp"
#include "languages.hpp"

namespace morek {

struct proof {
  std::size_t line = 0;    // 0: proven; else the first line of the original (from 1) where the two differ
  std::string_view why{};  // what differs there, in a few lower-case words, for a note
  bool proven() const { return line == 0; }
};

// Compares out, a conversion of in, with in. What a conversion may change:
// the blanks (spaces and tabs) of a run between other bytes, into another
// run of blanks; the blanks and CRs at the end of a line, which may go; line
// ends, an LF after any run of CRs, as a whole; and, at the end of the text,
// a line end added to a last line without one, or the line ends and lines
// of blanks after the last line of text taken away. Lines correspond one
// to one in order, the first with the first. Beyond that:
// - in language lang, every literal's bytes come back, in order, as its
//   lexer finds them in both texts (line ends inside them compared as line
//   ends);
// - a makefile (kind) keeps what makefile.hpp says: its recipe lines, the
//   lines that go on from a backslash, define bodies and assignments' ends
//   byte for byte, the rest but the indentation too, and no line begins
//   with a tab that did not;
// - a YAML text (kind, or lang) keeps the indentation of every line that
//   does not begin inside a literal;
// - Python (kind, or lang) keeps its blocks as its tokenizer reads them
//   (python_blocks.hpp): the same INDENT and DEDENT tokens for each logical
//   line, the same place where the tokenizer stops, and every indentation
//   consistent at tab sizes 8 and 1 that was.
// in is the text as it was read: for the filter's text layer, with its CRs
// dropped and up to its Ctrl-Z. sjis: the text is Shift-JIS, lexed as the
// conversion's lexer lexes it.
proof prove_conversion(std::string_view in, std::string_view out, language lang, file_kind kind, bool sjis = false);

}  // namespace morek
