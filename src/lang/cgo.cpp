// Go's comments that its tools read: cgo's C code, directives.
#include <cstring>

#include "lex_bytes.hpp"
#include "lexer.hpp"

namespace morek {

using namespace lex;

namespace {

// Whether the word w ends at text[k], in any case.
bool word_before(std::string_view text, std::size_t k, std::string_view w) {
  if (k < w.size()) return false;
  for (std::size_t m = 0; m < w.size(); ++m) {
    const auto c = static_cast<unsigned char>(text[k - w.size() + m]);
    if ((alpha(c) ? c | 0x20 : c) != static_cast<unsigned char>(w[m])) return false;
  }
  return k == w.size() || !word_byte(static_cast<unsigned char>(text[k - w.size() - 1]));
}

// Whether text holds an example's output: go test compares what the example
// prints with the comment that starts "Output:" or "Unordered output:" (in
// any case, after blank lines), line for line and blanks and all.
bool example_output(std::string_view text) {
  for (std::size_t at = text.find(':'); at != std::string_view::npos; at = text.find(':', at + 1)) {
    if (!word_before(text, at, "output")) continue;
    std::size_t k = at - 6;
    while (k > 0 && blank(static_cast<unsigned char>(text[k - 1]))) --k;
    if (word_before(text, k, "unordered")) k -= 9;
    while (k > 0 && (blank(static_cast<unsigned char>(text[k - 1])) || text[k - 1] == '\n' || text[k - 1] == '\r')) --k;
    if (k >= 2 && text[k - 2] == '/' && (text[k - 1] == '/' || text[k - 1] == '*')) return true;
  }
  return false;
}

}  // namespace

bool keeps_comments(language l, std::string_view text) {
  if (l != language::go) return false;
  if (example_output(text)) return true;
  // "C" as an import: after import, import ( or, in a group, at the start
  // of its line. Another "C" so placed (a line of a list) only keeps more.
  // A comment between import and "C" may follow the C code (import's own
  // comment): a "C" after one is taken for an import, and so is one after
  // another path and ';'.
  for (std::size_t at = text.find("\"C\""); at != std::string_view::npos; at = text.find("\"C\"", at + 1)) {
    std::size_t k = at;
    while (k > 0 && (blank(static_cast<unsigned char>(text[k - 1])) || text[k - 1] == '(' || text[k - 1] == ';')) --k;
    if (k == 0 || text[k - 1] == '\n' || text[k - 1] == '\r') return true;
    if (k >= 2 && text[k - 2] == '*' && text[k - 1] == '/') return true;
    // "fmt"; "C": a path after a ';' is an import's too (a statement of a
    // string alone does not compile).
    if (k > 0 && text[k - 1] == '"' && text.substr(k, at - k).find(';') != std::string_view::npos) return true;
    if (k >= 6 && text.substr(k - 6, 6) == "import" && (k == 6 || !word_byte(static_cast<unsigned char>(text[k - 7]))))
      return true;
  }
  return false;
}

bool go_directive(const unsigned char* p, std::size_t j, std::size_t n, bool line_comment) {
  const auto starts = [&](std::string_view w) { return n - j >= w.size() && std::memcmp(p + j, w.data(), w.size()) == 0; };
  // //go:generate and //go:embed quote words of their own; a //line or
  // /*line directive names a file, blanks and all, that the runtime reports
  // (and a tab that --spaces turns into spaces would make one).
  return (line_comment && starts("go:")) || starts("line ") || starts("line\t");
}

}  // namespace morek
