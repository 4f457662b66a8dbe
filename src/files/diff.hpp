// Unified diffs of a file against its conversion, as patch and git apply
// take them, and coloured for a terminal.
#pragma once

#include <string>
#include <string_view>

namespace morek {

// How a diff is written: plain, or coloured with its tabs and trailing blanks
// shown.
enum class diff_colour { plain, terminal };

// Appends to out the unified diff of before against after, texts whose lines
// correspond one to one (the conversion changes lines, never adds or removes
// one, but for a last line that it empties): headers "--- a/NAME" and "+++
// b/NAME", hunks with 3 lines of context merged where at most 6 lines part
// their changes, a change's removed lines before its added ones, and "\ No
// newline at end of file" after a last line without one. Bytes go out as they
// are, CRs included. Nothing is appended when the texts are equal.
void unified_diff(std::string_view name, std::string_view before, std::string_view after, diff_colour colour,
                  std::string& out);

}  // namespace morek
