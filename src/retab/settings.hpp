// Settings and line buffers of one run: fixed by the driver before the first
// line, read directly by the line passes.
#pragma once

#include <cstddef>

namespace morek {

// A display column from the start of the line, from 0. Lines are shorter
// than 511 bytes and a byte grows to at most 256 columns, so a column stays
// far below the int limit.
using column = int;

inline constexpr int TAB_MIN = 1;
inline constexpr int TAB_MAX = 256;
// A line (newline included) of this many bytes or more ends the run.
inline constexpr std::size_t LINE_LIMIT = 511;

extern int BUFSIZE;  // size of the line reader's buffer (-b<n>), default 4096
extern int tab1;     // input tab width, 1..256
extern int tab2;     // output tab width, 1..256
extern int ign_str;  // 1: the inside of C literals is left as it is (-c)

// How line ends are read and written (--eol).
enum class eol_mode {
  text,  // the text layer: CRs dropped, input ends at Ctrl-Z, newlines written as CR LF
  crlf,  // byte for byte in; every line end written as CR LF
  lf,    // byte for byte in; every line end written as LF
  keep,  // byte for byte in; each line end written as the line had it
};

extern int utf8_input;       // 1: the input is UTF-8 (--utf8), else Shift-JIS pairs are kept whole
extern eol_mode line_ends;   // --eol; text without it

}  // namespace morek
