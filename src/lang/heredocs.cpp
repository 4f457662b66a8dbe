// Here-documents: the word after <<, <<-, <<~ or <<< (quoted or not), and
// the line that ends each body, in the order they were opened.
#include <cstring>

#include "lex_bytes.hpp"
#include "reading.hpp"

namespace morek {

using namespace lex;

std::size_t reading::open_heredoc(const unsigned char* p, std::size_t i, std::size_t n) {
  const heredoc_form form = forms_->heredoc;
  std::size_t k = i + 2;
  heredoc d{};
  d.strip = strip_none;
  if (form == heredoc_form::php) {
    if (k >= n || p[k] != '<') return i + 1;
    ++k;
    while (k < n && blank(p[k])) ++k;
    d.strip = strip_php;
  } else if (form == heredoc_form::shell) {
    if ((k < n && p[k] == '<') || (i > 0 && p[i - 1] == '<')) return i + 2;  // <<< is a here-string
    if (k < n && p[k] == '-') {
      d.strip = strip_tabs;
      ++k;
    }
    while (k < n && blank(p[k])) ++k;
  } else {
    if (k < n && (p[k] == '~' || (p[k] == '-' && form == heredoc_form::ruby))) {
      d.strip = strip_blanks;
      ++k;
    }
    if (form == heredoc_form::perl && d.strip == strip_none && k < n && blank(p[k]) && k + 1 < n &&
        (p[k + 1] == '"' || p[k + 1] == '\''))
      ++k;
    const bool quoted = k < n && (p[k] == '"' || p[k] == '\'' || p[k] == '`');
    const bool bare = k < n && (alpha(p[k]) || p[k] == '_');
    if (!quoted && !bare) return i + 2;
    // After an operand << shifts; where a term may start it opens a
    // here-document; after a name that may be a method's or a variable's,
    // both.
    switch (what_before(p, i)) {
      case before::operand:
        if (form == heredoc_form::perl && perl_print_handle_before(p, i)) break;
        return i + 2;
      case before::expression:
        break;
      case before::either:
        if (!either(i)) return i + 2;
        break;
    }
  }
  // PHP's nowdoc (<<<'ID') puts nothing in.
  d.holds_code = form == heredoc_form::php && !(k < n && p[k] == '\'');
  // The word, its quotes taken off.
  std::size_t len = 0;
  bool too_long = false;
  auto add = [&](unsigned char c) {
    if (len < sizeof d.word) {
      d.word[len++] = static_cast<char>(c);
    } else {
      too_long = true;
    }
  };
  bool quoted_word = false;  // <<"" ends at the first empty line
  while (k < n && !too_long) {
    const unsigned char c = p[k];
    // Perl's and Ruby's word is quoted whole or not at all: <<E"a" is the
    // word E and a string.
    if ((c == '\'' || c == '"' || c == '`') && (form == heredoc_form::shell || len == 0)) {
      ++k;
      while (k < n && p[k] != c && p[k] != '\n' && !too_long) add(p[k++]);
      if (k >= n || p[k] != c) {
        len = 0;
        quoted_word = false;
        break;
      }
      ++k;
      quoted_word = true;
      if (form != heredoc_form::shell) break;
    } else if (c == '\\' && form == heredoc_form::shell && k + 1 < n && p[k + 1] != '\n') {
      add(p[k + 1]);
      k += 2;
    } else if (form == heredoc_form::shell ? (blank(c) || std::strchr(";&|<>()\n\r", c) != nullptr) : !word_byte(c)) {
      break;
    } else {
      add(c);
      ++k;
    }
  }
  if (len == 0 && !(quoted_word && form != heredoc_form::php)) {
    // No word: << that shifts, or a form this lexer does not know; the
    // shell's is always a here-document, so keep the rest.
    if (form == heredoc_form::shell) gave_up_ = true;
    return i + 2;
  }
  if (too_long || docs_ >= MAX_DOCS) {
    gave_up_ = true;
    return k;
  }
  d.len = static_cast<unsigned char>(len);
  doc_[docs_++] = d;
  // The word as written is kept: <<"    EOT" ends at a line of blanks and EOT.
  if (strings_ == 0) mark(i, k);
  return k;
}

void reading::body_code(const unsigned char* p, std::size_t i, std::size_t e) {
  // Braces and quotes: enough to tell where the code ends, or, where they
  // are misread, to run the body on, which keeps more.
  for (std::size_t k = i; k < e; ++k) {
    const unsigned char c = p[k];
    if (body_quote_ != 0) {
      if (c == '\\')
        ++k;
      else if (c == body_quote_)
        body_quote_ = 0;
    } else if (body_code_ == 0) {
      if (c == '\\') {
        ++k;
      } else if (k + 1 < e && ((c == '{' && p[k + 1] == '$') || (c == '$' && p[k + 1] == '{'))) {
        body_code_ = 1;
        ++k;
      }
    } else if (c == '\'' || c == '"') {
      body_quote_ = c;
    } else if (c == '{') {
      ++body_code_;
    } else if (c == '}') {
      --body_code_;
    }
  }
}

std::size_t reading::ends_heredoc(const unsigned char* p, std::size_t n) const {
  const heredoc& d = doc_[0];
  std::size_t k = 0;
  if (d.strip == strip_tabs)
    while (k < n && p[k] == '\t') ++k;
  if (d.strip == strip_blanks || d.strip == strip_php)
    while (k < n && blank(p[k])) ++k;
  if (n - k < d.len || std::memcmp(p + k, d.word, d.len) != 0) return 0;
  k += d.len;
  // PHP's code goes on after the word (EOT, "a  b");), strings and all.
  if (d.strip == strip_php) return k >= n || !word_byte(p[k]) ? k : 0;
  return k == n || (k + 1 == n && p[k] == '\n') ? n : 0;
}

}  // namespace morek
