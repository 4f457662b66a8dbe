// Go's cgo: a file that imports "C" has C code in its comments.
#include <cstring>

#include "lex_bytes.hpp"
#include "lexer.hpp"

namespace morek {

using namespace lex;

bool keeps_comments(language l, std::string_view text) {
  if (l != language::go) return false;
  // "C" as an import: after import, import ( or, in a group, at the start
  // of its line. Another "C" so placed (a line of a list) only keeps more.
  for (std::size_t at = text.find("\"C\""); at != std::string_view::npos; at = text.find("\"C\"", at + 1)) {
    std::size_t k = at;
    while (k > 0 && (blank(static_cast<unsigned char>(text[k - 1])) || text[k - 1] == '(')) --k;
    if (k == 0 || text[k - 1] == '\n' || text[k - 1] == '\r') return true;
    if (k >= 6 && text.substr(k - 6, 6) == "import" && (k == 6 || !word_byte(static_cast<unsigned char>(text[k - 7]))))
      return true;
  }
  return false;
}

}  // namespace morek
