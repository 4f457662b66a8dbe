// The help texts: the table printed for "-usage", as Shift-JIS lines ending
// with "", and the English text printed for "--help".
#pragma once

namespace morek {

extern const char* const help_table[];

// The usage line; also the text of the usage error.
inline constexpr int USAGE_LINE = 2;

extern const char help_text[];

}  // namespace morek
