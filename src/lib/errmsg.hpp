// Message formatting and printing for the tool and its library.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace morek {

// Size of the one static message buffer, terminator included.
inline constexpr int ERRMSG_SIZE = 1024;

// Where the printers write: null means standard error, ERRFP_STDOUT means
// standard output, and any other stream is honoured by errmsg1 only.
extern std::FILE* errfp;
// The all-bits-set pointer that selects standard output.
inline std::FILE* const ERRFP_STDOUT = reinterpret_cast<std::FILE*>(~static_cast<std::uintptr_t>(0));

// Set to 1 by every call of errmsg; never cleared.
extern int errmsg_output_flg;

// Expands fmt (conversions %c %d %x %f %s; any other "%?" writes "?" and the
// character and takes one int) into the static message buffer and returns it.
// A message that would not fit has its %s texts shortened so that the rest of
// the format always appears whole.
char* err_edit(const char* fmt, std::va_list ap);

// Formats a message and writes it to standard error (standard output when
// errfp is ERRFP_STDOUT); sets errmsg_output_flg.
void errmsg(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Like errmsg, but writes to the stream errfp names, and leaves
// errmsg_output_flg alone.
void errmsg1(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace morek
