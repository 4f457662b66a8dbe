// morek: re-tabulates text, expanding tabs at tab1 and writing blank runs as
// tabs at tab2.
#include <fcntl.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "convert.hpp"
#include "errmsg.hpp"
#include "help.hpp"
#include "mem.hpp"
#include "settings.hpp"
#include "stream.hpp"
#include "textio.hpp"

using namespace morek;

namespace {

// The line as read. Global, so that it stays reachable to the end of the
// process, which releases it.
unsigned char* in_buf;

// Reports a failure and ends the run with status 1. Lines converted so far
// are written out first.
template <class... Args>
[[noreturn]] void fail(const char* fmt, Args... args) {
  const bool written = out_flush();
  if constexpr (sizeof...(Args) == 0)
    errmsg("%s", fmt);  // a message without arguments is plain text
  else
    errmsg(fmt, args...);
  if (!written) errmsg("stdout: can't write\n");
  std::exit(1);
}

// Decimal conversion as atoi reads it: leading blanks and a sign, digits up
// to the first non-digit, no digits giving 0. False when the value does not
// fit an int.
bool to_int(const char* s, int& value) {
  while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
  const bool negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  long long v = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    v = v * 10 + (*s - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  value = static_cast<int>(v);
  return true;
}

int tab_width(const char* arg, const char* error) {
  int v = 0;
  if (!to_int(arg, v) || v < TAB_MIN || v > TAB_MAX) fail(error);
  return v;
}

// The help table ends the run with status 1, like a usage error.
[[noreturn]] void print_help() {
  for (const char* const* line = help_table; **line != '\0'; ++line) {
    out_write(reinterpret_cast<const unsigned char*>(*line), std::strlen(*line));
    out_newline();
  }
  fail("");  // no message, unless the table could not be written
}

// Holds BUFSIZE + 2 bytes, and the converter's padding past the longest line
// it converts.
unsigned char* line_buffer() {
  constexpr int least = static_cast<int>(LINE_LIMIT + CONVERT_PAD);
  auto* p = static_cast<unsigned char*>(getmem((BUFSIZE > least ? BUFSIZE : least) + 2));
  if (p == nullptr) std::exit(1);  // getmem has said why
  return p;
}

// The input: standard input, or the file, which must be one that can be read
// (a directory cannot, wherever the system would let it be opened).
int open_input(const char* file) {
  if (file == nullptr) return 0;
  const int fd = ::open(file, O_RDONLY);
  struct stat st;
  if (fd < 0 || (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))) fail("%s: can't open\n", file);
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
  // A failure in the memory helpers still writes out the lines converted so far.
  endfun = [] { (void)out_flush(); };

  if (argc == 2 && std::strcmp(argv[1], "-usage") == 0) print_help();

  bool trim_flg = false;
  int arg = 1;
  for (; arg < argc && argv[arg][0] == '-'; ++arg) {
    const char* opt = argv[arg];
    if (opt[1] == 'b') {
      int size = 0;
      if (!to_int(opt + 2, size) || size > INT_MAX - 2) fail("%s: buffer size out of range\n", opt);
      BUFSIZE = size < 256 ? 256 : size;
      continue;
    }
    for (const char* letter = opt + 1; *letter != '\0'; ++letter) {
      if (*letter == 'c')
        ign_str = 1;
      else if (*letter == 't')
        trim_flg = true;
      else
        fail("%s: invalid option\n", opt);
    }
  }
  if (argc - arg < 2) fail("%s\n", help_table[USAGE_LINE]);

  // The converter writes straight to the output: the line is the only buffer.
  in_buf = line_buffer();

  tab1 = tab_width(argv[arg], "tab1 length error\n");
  tab2 = tab_width(argv[arg + 1], "tab2 length error\n");
  const char* file = argc - arg >= 3 ? argv[arg + 2] : nullptr;
  static text_reader reader(open_input(file));  // static: its block is too large for the stack

  const stream_result r = convert_stream(reader, in_buf, trim_flg);
  if (r.too_long != 0) fail("%s \nError: too long line found!\n", reinterpret_cast<char*>(in_buf));
  if (reader.failed()) fail("%s: can't read\n", file != nullptr ? file : "stdin");
  if (!out_flush()) fail("stdout: can't write\n");
  return 0;
}
