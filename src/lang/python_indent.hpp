// Whether Python rejects a text for its indentation: an inconsistent use of
// tabs and spaces (TabError), an unindent that matches no outer level, or
// too many levels; read as Python's tokenizer reads blocks (python_blocks).
#pragma once

#include <cstddef>

#include "python_blocks.hpp"

namespace morek {

class python_indent_check {
 public:
  // Takes the next n bytes of the text.
  void feed(const unsigned char* p, std::size_t n) { reader_.feed(p, n); }
  // The text is complete.
  void finish() { reader_.finish(); }
  // The first line (from 1) whose indentation Python would reject; 0 when
  // none so far.
  std::size_t rejected_line() const;

 private:
  python_block_reader reader_{false};
};

}  // namespace morek
