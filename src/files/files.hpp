// Converting files in place (-i) and checking whether they are converted (--check).
#pragma once

#include <span>

#include "textio.hpp"

namespace morek {

// Converts each file as the filter would, with the settings in force, byte
// for byte. check: writes nothing, but names each file whose conversion
// differs from it on standard output. Otherwise each such file is replaced by
// its conversion. Failures are reported as "FILE: reason" on standard error,
// in the order of the files. Returns the exit status: 2 when some file
// failed, else 1 when check found a file to change, else 0.
int run_files(std::span<char* const> files, text_reader& reader, unsigned char* in_buf, bool trim, bool check);

}  // namespace morek
