// One file's work, from its bytes and settings to a verdict: refused as
// binary, converted, proven and judged; nothing read from disk nor written
// there, so that any thread may do it and any caller (a tree, a buffer on
// standard input) gets the same.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "byte_buffer.hpp"
#include "file_settings.hpp"
#include "findings.hpp"
#include "kinds.hpp"
#include "languages.hpp"

namespace morek {

// Lines first to last of a text, counted from 1, both included.
struct line_range {
  std::size_t first = 1;
  std::size_t last = 1;
};
// Lines to convert: ranges in order, apart from each other.
using line_selection = std::vector<line_range>;

struct file_input {
  std::string_view bytes;  // the whole file
  file_settings settings;
  language lang = language::text;
  file_kind kind = file_kind::other;
  // Only these lines are converted (the others are kept as they are), and
  // the line end at the end of the file only where its last line is one of
  // them; null: every line.
  const line_selection* lines = nullptr;
  // Lines in regions left alone (see find_regions) are kept as they are.
  bool regions = false;
  // false: a conversion that differs counts as changed unproven, so that
  // the tests of the proof can judge what it would be given.
  bool prove = true;
  // changed: say what is wrong on each line that changes (findings).
  bool find = false;
};

enum class verdict {
  same,      // the conversion equals the file
  changed,   // it differs: text holds it
  unproven,  // it would change what the file means: left as it is, with a note
  binary,    // not text: a NUL byte, or a UTF-16 or UTF-32 byte order mark (note says which)
  failed,    // could not be converted (note says why); left as it is
};

struct file_verdict {
  verdict v = verdict::same;
  byte_buffer text;  // changed: the new text of the file
  // unproven: "line N: why; left as it is"; binary and failed: the reason;
  // same and changed: what kept_note says, where the lexer gave up, else
  // nothing.
  std::string note;
  std::vector<finding> findings;  // changed, when asked for: one a line that changes, viewing text
};

// The note on a text whose lexer gave up at line from: the rest of it was
// kept as it is.
std::string kept_note(std::size_t from);

// Converts the file in.bytes as the settings say, with the literals of
// in.lang and the rules of in.kind, and proves the result before it is
// called changed. Puts the settings in force on the calling thread for the
// time of the conversion only, and writes through its output buffer, which
// must hold nothing.
file_verdict convert_file_text(const file_input& in);

// Appends to out the text whose line k is line k of converted where lines
// holds k, else line k of original. A line ends after its LF; a last line
// without one is a line when it is not empty. Lines that converted lacks at
// its end are taken away where selected. False when memory ran out.
bool splice_lines(std::string_view original, std::string_view converted, const line_selection& lines,
                  byte_buffer& out);

// The language a file is read in: lang, unless it is to be found (lang_auto),
// then its own (YAML for every name the table of kinds gives it), by its name
// or its first bytes (head).
language file_language(bool lang_auto, language lang, std::string_view base, std::string_view head);

}  // namespace morek
