// The line passes and the fused converter on random lines and settings: the
// converter must write what the passes write, and what they write must keep
// every byte that is not a blank, in order; without -c and without bytes
// from 0x80 up, each output line shows at tab2 what its input line shows at
// tab1, less the trailing blanks.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert.hpp"
#include "expand.hpp"
#include "retab.hpp"
#include "stream.hpp"
#include "test_support.hpp"

using namespace morek;

namespace {

// The text of a line without its end: the newline of an input line, the
// CR LF of an output line.
std::string body(std::string s, bool output) {
  if (!s.empty() && s.back() == '\n') {
    s.pop_back();
    if (output && !s.empty() && s.back() == '\r') s.pop_back();
  }
  return s;
}

std::string without_blanks(const std::string& s) {
  std::string r;
  for (char c : s)
    if (c != ' ' && c != '\t') r += c;
  return r;
}

// What a terminal shows: tabs to the next multiple of tab, no trailing blanks.
std::string shown(const std::string& s, int tab) {
  std::string r;
  for (char c : s) {
    if (c == '\t')
      r.append(static_cast<std::size_t>(tab - static_cast<int>(r.size()) % tab), ' ');
    else
      r += c;
  }
  while (!r.empty() && r.back() == ' ') r.pop_back();
  return r;
}

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  tab1 = 1 + data[0] % 32 * (data[0] >= 224 ? 8 : 1);
  tab2 = 1 + data[1] % 32 * (data[1] >= 224 ? 8 : 1);
  ign_str = data[2] & 1;
  const bool trim = (data[2] & 2) != 0;
  const std::size_t piece = (data[2] & 4) != 0 ? 255 : 510;  // what -b256 or the default lets through
  // The lines as the reader delivers them: no CR, pieces of a long line.
  std::string text;
  for (std::size_t k = 3; k < size; ++k)
    if (data[k] != '\r') text += static_cast<char>(data[k]);
  lex_state passes_lex, converter_lex;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t n = 0;
    while (n < piece && pos + n < text.size())
      if (text[pos + n++] == '\n') break;
    std::string line = text.substr(pos, n);
    pos += n;
    if (trim) line = trimmed(line);

    const std::string passes = by_passes(line, passes_lex);

    std::string padded = line + std::string(CONVERT_PAD, '\0');
    std::vector<unsigned char> out(convert_bound(line.size(), tab1));
    const unsigned char* end =
        convert_line(reinterpret_cast<const unsigned char*>(padded.data()), line.size(), converter_lex, out.data());
    const std::string converted(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(end - out.data()));

    check(converted == passes, "converter and passes agree");
    if (ign_str == 1)
      check(converter_lex.quote == passes_lex.quote && converter_lex.in_block == passes_lex.in_block &&
                converter_lex.escape == passes_lex.escape,
            "converter and passes leave the same lexical state");
    check(without_blanks(body(converted, true)) == without_blanks(body(line, false)), "only blanks change");
    bool plain = ign_str == 0;
    for (char c : line) plain = plain && static_cast<unsigned char>(c) < 0x80;
    if (plain) check(shown(body(converted, true), tab2) == shown(body(line, false), tab1), "the line looks the same");
  }
  return 0;
}
