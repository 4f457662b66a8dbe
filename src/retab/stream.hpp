// The conversion of a whole input, line by line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "textio.hpp"

namespace morek {

struct stream_result {
  // 0 when the whole input was converted; otherwise the length of a line of
  // LINE_LIMIT bytes or more, whose text (at most BUFSIZE - 1 bytes) is in
  // in_buf, NUL-terminated, and which stopped the run before it was written.
  std::size_t too_long = 0;
  // Lines converted and written whole, newline included: the too-long line,
  // if any, is the one after them.
  std::size_t lines = 0;
  // whole_lines: a line that could not be converted whole stopped the run
  // before it was written, the one after `lines`: memory for it could not be
  // had (no_memory), or its columns would pass LONG_LINE_COLUMNS (too_wide).
  bool no_memory = false;
  bool too_wide = false;
};

// Most columns a line converted whole may reach.
inline constexpr std::size_t LONG_LINE_COLUMNS = std::size_t{1} << 29;

// Reads lines of at most BUFSIZE - 1 bytes from reader, cuts their trailing
// blanks when trim is set, and writes each converted line through the output
// writer. in_buf holds BUFSIZE + 2 bytes and the converter's padding past the
// longest line converted (whole_lines does not use it: it may be null). Read errors end the input (reader.failed() tells).
// whole_lines (the file modes): no line is too long or cut into pieces; one
// that does not fit the reader's window is gathered into memory that grows
// with the longest line, from BUFSIZE bytes on, and converted whole. And each
// result settles at once: under --eol=lf and crlf, CRs that are left last in
// a line once its trailing blanks go go with them, as a second run would read
// them as its line end; final_newline gives a last line without a line end
// one (of the kind of the line end before it, under --eol=keep) before it
// converts, so that a CR it ends with joins it, and the blanks before it are
// trailing blanks.
stream_result convert_stream(text_reader& reader, unsigned char* in_buf, bool trim, bool whole_lines = false,
                             bool final_newline = false);

// Cuts the blanks at the end of the n-byte line, keeping its newline, and
// those only outside the literals set in lit, when given; returns the new
// length.
std::size_t trim_line(unsigned char* line, std::size_t n, const std::uint64_t* lit = nullptr);

}  // namespace morek
