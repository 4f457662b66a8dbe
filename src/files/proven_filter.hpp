// The filter in a language (--lang): its conversion is made in memory and
// proven against its input before it is written; one that cannot be proven
// is not, and the input goes out as it came, with a note.
#pragma once

#include "languages.hpp"
#include "stream.hpp"
#include "textio.hpp"

namespace morek {

// Reads all of in, converts it through reader (with layer, as the filter
// converts) and writes through the output buffer either the conversion or,
// where prove_conversion finds it changes what the text means, the input's
// bytes exactly, with "NAME: line N: why; left as it is" on standard error.
// A line too long ends the conversion as it ends the filter's, and what is
// written is what came before it. read_errno: 0, or why in could not be read
// to its end (what was read is converted).
stream_result convert_proven(int in, const char* name, text_reader& reader, text_reader::options layer,
                             unsigned char* in_buf, bool trim, language lang, int& read_errno);

}  // namespace morek
