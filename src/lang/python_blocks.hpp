// Python's blocks as its tokenizer reads them: where each logical line
// opens or closes blocks (its INDENT and DEDENT tokens), and whether its
// indentation is consistent (the same comparison at tab size 1, else
// TabError). Tabs reach the next multiple of 8, a form feed in a line's
// indentation resets its column, a CR alone or a CR LF ends a line as an LF
// does, and lines inside brackets, strings or after a backslash-newline open
// no block; blank and comment-only lines count for nothing.
#pragma once

#include <cstddef>
#include <vector>

namespace morek {

// One logical line that counts.
struct python_step {
  std::size_t offset;   // byte where its first physical line starts
  std::size_t line;     // that line, from 1, counting LFs as the tool does
  std::size_t py_line;  // the line Python names for its indentation (CR, LF and CR LF each end one)
  int change;           // +1: INDENT; -k: k DEDENTs; 0: neither
  bool consistent;      // the comparison holds at tab size 1 too
};

// Where Python stops reading the text, with an error of its tokenizer.
enum class python_stop {
  none,
  dedent,           // an unindent that matches no outer level
  too_deep,         // a hundredth level of indentation
  continuation,     // a backslash not followed by a line end
  unterminated,     // a string that a line's end or the text's end leaves open
  brackets,         // a bracket that closes nothing or the wrong one, or too many open
  end_of_text,      // brackets or a continuation left open at the end
};

// A string, quotes and all (its prefix aside), as the tokenizer reads it.
struct python_string {
  std::size_t from, to;  // bytes
  std::size_t line;      // of its first quote, counting LFs
};

struct python_blocks {
  std::vector<python_step> steps;      // kept only when asked for
  std::vector<python_string> strings;  // likewise
  python_stop stop = python_stop::none;
  std::size_t stop_offset = 0, stop_line = 0, stop_py_line = 0;
  // The first step whose indentation is inconsistent, or 0.
  std::size_t first_inconsistent_line = 0;
};

// Reads a text as Python's tokenizer does, fed in pieces of any size.
class python_block_reader {
 public:
  explicit python_block_reader(bool keep_steps = true) : keep_(keep_steps) {}
  void feed(const unsigned char* p, std::size_t n);
  // The text is complete.
  const python_blocks& finish();
  // What is known so far.
  const python_blocks& blocks() const { return blocks_; }

 private:
  enum class state : unsigned char {
    bom,           // at the text's start: a UTF-8 byte order mark is skipped
    indent,        // measuring a line's indentation
    indent_slash,  // a backslash in it: a line end must follow
    code,
    code_slash,    // a backslash in code: a line end must follow
    comment,
    quotes,        // quotes in a row that open a string, counted in run_
    string,
    stopped,
  };
  void step(unsigned char c);
  void newline();
  // The indentation ends before c: a logical line starts, unless the line
  // is blank or a comment.
  void end_indentation(unsigned char c);
  void stop(python_stop why);
  void close_string(std::size_t end);

  python_blocks blocks_;
  bool keep_ = true;
  state st_ = state::bom;
  int bom_seen_ = 0;        // bytes of a byte order mark matched so far
  bool after_cr_ = false;   // the byte before was a CR: an LF now ends nothing more
  bool fresh_line_ = true;  // the next byte starts a physical line after a logical line's end
  std::size_t offset_ = 0;  // of the byte being read
  std::size_t line_ = 1, py_line_ = 1;
  // The logical line being measured.
  std::size_t start_offset_ = 0, start_line_ = 1;
  int col_ = 0, altcol_ = 0, cont_col_ = 0;
  // Strings.
  python_string string_{};  // the one open
  unsigned char quote_ = 0;
  bool triple_ = false, escape_ = false;
  int run_ = 0;  // quotes in a row
  std::vector<unsigned char> brackets_;
  std::vector<int> levels_{0}, alt_levels_{0};
};

// The blocks of a whole text.
python_blocks read_python_blocks(const unsigned char* p, std::size_t n, bool keep_steps = true);

}  // namespace morek
