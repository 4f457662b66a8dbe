// The shell's forms that nest in code: case ... esac inside $( ), whose
// patterns end in a ')' that closes nothing, and the arithmetic of (( )).
#include <cstring>

#include "lex_bytes.hpp"
#include "reading.hpp"

namespace morek {

using namespace lex;

void reading::shell_word(const unsigned char* p, std::size_t i, std::size_t n) {
  // A command's first word: after a line's start, ; & | ( or a keyword.
  if (i > 0 && word_byte(p[i - 1])) return;
  std::size_t j = i;
  while (j > 0 && blank(p[j - 1])) --j;
  const bool command = j == 0 || std::strchr("\n;&|(", p[j - 1]) != nullptr ||
                       prefix_is(p, j, {"then", "do", "else", "elif", "in"});
  if (!command) return;
  auto word_is = [&](std::string_view w) {
    return n - i >= w.size() && std::memcmp(p + i, w.data(), w.size()) == 0 &&
           (i + w.size() == n || !word_byte(p[i + w.size()]));
  };
  frame& fr = stack_[top_];
  if (word_is("case") && fr.cases < 255) {
    ++fr.cases;
  } else if (word_is("esac") && fr.cases > 0) {
    --fr.cases;
  }
}

std::size_t reading::shell_paren(const unsigned char* p, std::size_t i, std::size_t n) {
  frame& fr = stack_[top_];
  if (i + 1 < n && p[i + 1] == '(') {
    // (( )) and $(( )): arithmetic, where << shifts.
    frame a;
    a.open = '(';
    a.close = ')';
    a.depth = 1;
    a.arith = true;
    push(a);
    return i + 2;
  }
  if (top_ > 0 && fr.open == '(') ++fr.depth;
  return i + 1;
}

}  // namespace morek
