// Settings and line buffers of one run: fixed by the driver before the first
// line, read directly by the line passes. Those a file's own settings change
// are per thread, so that files convert with their own at once.
#pragma once

#include <cstddef>

namespace morek {

class literal_lexer;

// A display column from the start of the line, from 0. Lines are shorter
// than 511 bytes and a byte grows to at most 256 columns, so a column stays
// far below the int limit.
using column = int;

inline constexpr int TAB_MIN = 1;
inline constexpr int TAB_MAX = 256;
// A line (newline included) of this many bytes or more ends the run.
inline constexpr std::size_t LINE_LIMIT = 511;

extern int BUFSIZE;  // size of the line reader's buffer (-b<n>), default 4096
extern constinit thread_local int tab1;     // input tab width, 1..256
extern constinit thread_local int tab2;     // output tab width, 1..256
extern constinit thread_local int ign_str;  // 1: the inside of C literals is left as it is (-c)

// How line ends are read and written (--eol).
enum class eol_mode {
  text,  // the text layer: CRs dropped, input ends at Ctrl-Z, newlines written as CR LF
  crlf,  // byte for byte in; every line end written as CR LF
  lf,    // byte for byte in; every line end written as LF
  keep,  // byte for byte in; each line end written as the line had it
};

extern constinit thread_local int utf8_input;      // 1: the input is UTF-8 (--utf8), else Shift-JIS pairs are kept whole
extern constinit thread_local int latin1_input;    // 1: every byte is a character of one column (--latin1); never with utf8_input
extern constinit thread_local eol_mode line_ends;  // --eol; text without it

// How a line's blanks are written.
extern constinit thread_local int spaces_only;  // 1: never as tabs (--spaces); tab2 is then tab1
extern constinit thread_local int indent_only;  // 1: only the indentation is re-tabulated; the rest of the line is kept (--indent-only);
                                                // 2: no line has an indentation: every blank is kept (a file without indent_style)
// A language's lexer, which says what bytes lie inside literals (--lang);
// nullptr: text, or C's literals as -c reads them.
extern constinit thread_local literal_lexer* literals;
extern constinit thread_local int make_lines;   // 1: a makefile: recipe lines and values keep every blank, no line gains a first tab
extern constinit thread_local int yaml_lines;   // 1: YAML: the blanks that begin a line, its indentation, stay as they are

// What the bytes of the input are, from the settings above.
enum class charset { sjis, utf8, latin1 };
inline charset input_charset() {
  return utf8_input == 1 ? charset::utf8 : latin1_input == 1 ? charset::latin1 : charset::sjis;
}

}  // namespace morek
