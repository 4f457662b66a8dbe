// JSX: elements where an expression starts, their attributes' strings, and
// the text between tags, which is a literal but for the blanks that JSX
// itself drops (a line's indentation and its trailing blanks).
#include <cstring>

#include "lex_bytes.hpp"
#include "reading.hpp"

namespace morek {

using namespace lex;

namespace {

bool name_byte(unsigned char c) { return word_byte(c) || c == '$' || c == '-' || c == ':' || c == '.'; }

}  // namespace

std::size_t reading::open_jsx(const unsigned char* p, std::size_t i, std::size_t n) {
  if (i + 1 >= n || !(alpha(p[i + 1]) || p[i + 1] == '_' || p[i + 1] == '$' || p[i + 1] == '>')) return i + 1;
  if (what_before(p, i) != before::expression) return i + 1;
  // TypeScript's <T,>(x) =>, <T = U>, <T extends U> and <const T> are type
  // parameters: no JSX tag's name is followed by those.
  std::size_t k = i + 1;
  while (k < n && name_byte(p[k])) ++k;
  const bool is_const = k - i - 1 == 5 && std::memcmp(p + i + 1, "const", 5) == 0;
  while (k < n && blank(p[k])) ++k;
  if (k < n && (p[k] == ',' || p[k] == '=')) return i + 1;
  if (n - k >= 8 && std::memcmp(p + k, "extends", 7) == 0 && !word_byte(p[k + 7])) return i + 1;
  if (is_const && k < n && (alpha(p[k]) || p[k] == '_')) return i + 1;
  frame tag;
  tag.kind = jsx_tag;
  push(tag);
  return i + 1;
}

std::size_t reading::jsx_tag_byte(const unsigned char* p, std::size_t i, std::size_t n) {
  const unsigned char c = p[i];
  if (name_byte(c) || blank(c) || c == '\r' || c == '=') return i + 1;
  if (c == '"' || c == '\'') {
    // An attribute's string: no escapes, and it may span lines.
    frame s;
    s.kind = string;
    s.close = c;
    push(s);
    note_open(i);
    return i + 1;
  }
  if (c == '{') {
    frame code_in;
    code_in.close = '}';
    code_in.open = '{';
    push(code_in);
    return i + 1;
  }
  if (c == '/' && i + 1 < n && (p[i + 1] == '/' || p[i + 1] == '*')) {
    // Comments may stand between attributes.
    if (p[i + 1] == '/') {
      in_line_comment_ = true;
    } else {
      frame cm;
      cm.kind = comment;
      push(cm);
    }
    return i + 2;
  }
  const bool closing = stack_[top_].closing;
  if (c == '/' && i + 1 < n && p[i + 1] == '>' && !closing) {
    pop();  // <a/>
    if (stack_[top_].kind == jsx_text && strings_ == 0) text_from_ = i + 2;
    return i + 2;
  }
  if (c == '>') {
    pop();
    if (closing) {
      pop();  // the element's text ends with it
      if (stack_[top_].kind == jsx_text && strings_ == 0) text_from_ = i + 1;
      return i + 1;
    }
    frame t;
    t.kind = jsx_text;
    push(t);
    if (strings_ == 0) text_from_ = i + 1;
    return i + 1;
  }
  die(i);
  return i + 1;
}

std::size_t reading::jsx_text_byte(const unsigned char* p, std::size_t i, std::size_t n) {
  const unsigned char c = p[i];
  if (c != '<' && c != '{' && c != '>' && c != '}') return i + 1;
  if (text_from_ != NONE) mark(text_from_, i);
  text_from_ = NONE;
  if (c == '>' || c == '}') {
    die(i);  // JSX text holds neither
    return i + 1;
  }
  if (c == '{') {
    frame code_in;
    code_in.close = '}';
    code_in.open = '{';
    push(code_in);
    return i + 1;
  }
  frame tag;
  tag.kind = jsx_tag;
  if (i + 1 < n && p[i + 1] == '/') {
    tag.closing = true;
    push(tag);
    return i + 2;
  }
  push(tag);
  return i + 1;
}

void reading::jsx_text_line(const unsigned char* p, std::size_t i, std::size_t n) {
  // A line's indentation inside the text is JSX's to drop.
  while (i < n && blank(p[i])) ++i;
  if (strings_ == 0) text_from_ = i;
}

void reading::jsx_text_newline(const unsigned char* p, std::size_t i) {
  // So are the blanks that end a line.
  if (text_from_ == NONE) return;
  std::size_t e = i;
  while (e > text_from_ && (blank(p[e - 1]) || p[e - 1] == '\r')) --e;
  mark(text_from_, e);
  text_from_ = NONE;
}

}  // namespace morek
