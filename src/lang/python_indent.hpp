// Python's own rule for indentation, applied to text as it is written: each
// logical line's indentation, measured with tabs of 8 columns and of 1, must
// order the same way against the lines before it, or Python rejects the file
// (TabError, or a dedent that matches no outer level). Lines inside brackets,
// strings or after a backslash-newline are not logical lines' starts.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace morek {

class python_indent_check {
 public:
  // Takes the next n bytes of the text.
  void feed(const unsigned char* p, std::size_t n);
  // The text is complete.
  void finish();
  // The first line (from 1) whose indentation Python would reject; 0 when
  // none so far.
  std::size_t rejected_line() const { return rejected_; }

 private:
  void take_line(std::string_view line);
  void check_indentation(int col, int alt_col);

  std::string partial_;  // the line being fed, up to its newline
  std::size_t line_ = 0;
  std::size_t rejected_ = 0;
  int depth_ = 0;            // brackets open
  char quote_ = 0;           // the quote of the string open, or 0
  bool triple_ = false;      // the string open is triple-quoted
  bool continued_ = false;   // a backslash ended the last line outside a string
  std::vector<std::pair<int, int>> levels_{{0, 0}};  // indentations open, at tab sizes 8 and 1
};

}  // namespace morek
