#include "python_indent.hpp"

#include <cstring>
#include <string_view>

namespace morek {

void python_indent_check::feed(const unsigned char* p, std::size_t n) {
  while (n > 0 && rejected_ == 0) {
    const void* nl = std::memchr(p, '\n', n);
    const std::size_t k = nl == nullptr ? n : static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - p) + 1;
    if (nl == nullptr) {
      partial_.append(reinterpret_cast<const char*>(p), k);
    } else if (partial_.empty()) {
      take_line(std::string_view(reinterpret_cast<const char*>(p), k));
    } else {
      partial_.append(reinterpret_cast<const char*>(p), k);
      take_line(partial_);
      partial_.clear();
    }
    p += k;
    n -= k;
  }
}

void python_indent_check::finish() {
  if (!partial_.empty() && rejected_ == 0) take_line(partial_);
  partial_.clear();
}

// As the tokenizer does: the same column at tab size 8 must be the same at
// tab size 1, a deeper one deeper, and a shallower one must return to a level
// that is open.
void python_indent_check::check_indentation(int col, int alt_col) {
  if (col == levels_.back().first) {
    if (alt_col != levels_.back().second) rejected_ = line_;
  } else if (col > levels_.back().first) {
    if (alt_col <= levels_.back().second) rejected_ = line_;
    levels_.emplace_back(col, alt_col);
  } else {
    while (levels_.size() > 1 && col < levels_.back().first) levels_.pop_back();
    if (col != levels_.back().first || alt_col != levels_.back().second) rejected_ = line_;
  }
}

void python_indent_check::take_line(std::string_view line) {
  ++line_;
  std::size_t i = 0;
  if (quote_ == 0 && depth_ == 0 && !continued_) {
    int col = 0, alt_col = 0;
    for (; i < line.size(); ++i) {
      if (line[i] == ' ') {
        ++col;
        ++alt_col;
      } else if (line[i] == '\t') {
        col = (col / 8 + 1) * 8;
        ++alt_col;
      } else if (line[i] == '\f') {
        col = alt_col = 0;
      } else {
        break;
      }
    }
    // Blank lines and comment lines have no indentation that counts.
    const char first = i < line.size() ? line[i] : '\n';
    if (first != '#' && first != '\n' && first != '\r') check_indentation(col, alt_col);
  }
  continued_ = false;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    if (quote_ != 0) {
      if (c == '\\') {
        ++i;  // whatever follows, a newline included, is the string's
      } else if (c == quote_ && (!triple_ || line.substr(i, 3) == std::string(3, quote_))) {
        if (triple_) i += 2;
        quote_ = 0;
      } else if (c == '\n' && !triple_) {
        quote_ = 0;  // unterminated: Python says so itself
      }
    } else if (c == '#') {
      break;
    } else if (c == '\'' || c == '"') {
      quote_ = c;
      triple_ = line.substr(i, 3) == std::string(3, c);
      if (triple_) i += 2;
    } else if (c == '(' || c == '[' || c == '{') {
      ++depth_;
    } else if ((c == ')' || c == ']' || c == '}') && depth_ > 0) {
      --depth_;
    } else if (c == '\\' && (line.substr(i + 1) == "\n" || line.substr(i + 1) == "\r\n")) {
      continued_ = true;
      break;
    }
  }
}

}  // namespace morek
