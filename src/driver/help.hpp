// The help table printed for "-usage": Shift-JIS lines, ending with "".
#pragma once

namespace morek {

extern const char* const help_table[];

// The usage line; also the text of the usage error.
inline constexpr int USAGE_LINE = 2;

}  // namespace morek
