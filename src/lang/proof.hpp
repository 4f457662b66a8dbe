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
  std::string_view why{};  // what differs there, for a note
  bool proven() const { return line == 0; }
};

// Compares out, the conversion of in, with in: both are lexed whole in
// language lang, and every literal's bytes must come back in the same order;
// by kind, Python's indentation must open and close the same blocks, a YAML
// text may gain no tab in its indentation, and a makefile keeps which lines
// are recipe lines. Lines correspond one to one (a final line end added or
// taken away aside).
proof prove_conversion(std::string_view in, std::string_view out, language lang, file_kind kind);

}  // namespace morek
