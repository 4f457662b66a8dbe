// Names of files as the user reads them: quoted as git quotes them where a
// byte would break a line or a diff, and, in diffs, clean paths that patch
// and git apply both take.
#pragma once

#include <string>
#include <string_view>

namespace morek {

// Whether a name needs quoting: it holds a control character, a quote or a
// backslash (bytes from 0x80 up stay as they are, as with core.quotePath off).
bool needs_quoting(std::string_view name);

// The name in double quotes with C's escapes (\t, \n, \", \\, and \ooo for the
// rest of the control characters), as git writes it; the name as it is when
// nothing in it needs quoting, unless always.
std::string quoted_name(std::string_view name, bool always = false);

// The path a diff names the file by: without "." and empty components; a
// file outside the current directory (an absolute name, or one whose ".."
// climbs above it) by its absolute path less the first '/', for applying
// from "/". cwd is the current directory's absolute path.
std::string diff_path(std::string_view name, std::string_view cwd);

}  // namespace morek
