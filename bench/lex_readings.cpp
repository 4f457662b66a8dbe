// What reading files in their languages keeps, and why: for the files listed
// on stdin (one path a line), by language, the lines that hold a kept byte,
// those on which the lexer's readings disagreed (kept only because one
// reading had them inside a literal), and the files kept from some line to
// their end (a data section, or where the lexer gave up).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "kinds.hpp"
#include "lexer.hpp"

using namespace morek;

namespace {

struct tally {
  std::size_t files = 0, lines = 0, kept = 0, disputed = 0, gave_up = 0;
};

}  // namespace

int main() {
  std::map<std::string, tally> by_language;
  static literal_lexer lexer;
  std::string path;
  while (std::getline(std::cin, path)) {
    std::ifstream in(path, std::ios::binary);
    if (!in) continue;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const language l = language_of(base, std::string_view(text).substr(0, text.find('\n')));
    if (l == language::text || text.find('\0') != std::string::npos) continue;
    const std::size_t n = text.size();
    text.resize(n + LEXER_PAD);
    std::vector<std::uint64_t> lit(n / 64 + 2);
    lexer.start(l);
    lexer.scan(reinterpret_cast<const unsigned char*>(text.data()), n, true, lit.data(), 0);
    tally& t = by_language[std::string(forms_of(l).name)];
    ++t.files;
    t.disputed += lexer.disputed_lines();
    t.gave_up += lexer.gave_up();
    bool line_kept = false;
    for (std::size_t k = 0; k < n; ++k) {
      line_kept = line_kept || (lit[k / 64] >> (k % 64) & 1) != 0;
      if (text[k] == '\n' || k + 1 == n) {
        ++t.lines;
        t.kept += line_kept;
        line_kept = false;
      }
    }
  }
  std::printf("| language | files | lines | lines with kept bytes | kept where readings disagreed | files kept to their end |\n");
  std::printf("|---|---|---|---|---|---|\n");
  tally all;
  for (const auto& [name, t] : by_language) {
    std::printf("| %s | %zu | %zu | %zu | %zu | %zu |\n", name.c_str(), t.files, t.lines, t.kept, t.disputed, t.gave_up);
    all.files += t.files;
    all.lines += t.lines;
    all.kept += t.kept;
    all.disputed += t.disputed;
    all.gave_up += t.gave_up;
  }
  std::printf("| all | %zu | %zu | %zu | %zu | %zu |\n", all.files, all.lines, all.kept, all.disputed, all.gave_up);
}
