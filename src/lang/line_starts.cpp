// What a line's start decides: a here-document's body, documentation, the
// rest of the text as data, a YAML line's indentation and block scalars.
#include <cstring>

#include "lex_bytes.hpp"
#include "reading.hpp"

namespace morek {

using namespace lex;

std::size_t reading::begin_line(const unsigned char* p, std::size_t i, std::size_t n) {
  const lexical_forms& f = *forms_;
  const std::size_t e = line_end(p, i, n);
  const bool ends = e > i && p[e - 1] == '\n';
  auto keep_whole = [&] {
    mark(i, e);
    whole_line_ = !ends;
    return e;
  };
  auto starts = [&](std::string_view w) { return e - i >= w.size() && std::memcmp(p + i, w.data(), w.size()) == 0; };
  if (docs_ready_ > 0) {
    // Inside the body's {$ ... } the word is code's (a constant EOT).
    const std::size_t past = body_code_ == 0 && body_quote_ == 0 ? ends_heredoc(p + i, e - i) : 0;
    if (past == 0 && doc_[0].holds_code) body_code(p, i, e);
    if (past > 0) {
      --docs_;
      --docs_ready_;
      std::memmove(doc_, doc_ + 1, static_cast<std::size_t>(docs_) * sizeof doc_[0]);
      if (i + past < e && p[i + past] != '\n' && p[i + past] != '\r') {
        mark(i, i + past);
        return i + past;
      }
    }
    return keep_whole();
  }
  if (in_pod_) {
    if (starts(f.pod_close)) in_pod_ = false;
    return keep_whole();
  }
  if (top_ != 0) return i;
  if (!f.pod_open.empty() && starts(f.pod_open)) {
    const std::size_t w = i + f.pod_open.size();
    if (f.pod_open.size() > 1 ? w == e || blank(p[w]) || p[w] == '\n' : w < e && alpha(p[w])) {
      in_pod_ = true;
      return keep_whole();
    }
  }
  if (f.perl_forms && starts("format") && docs_ < MAX_DOCS) {
    // format NAME = and its picture lines, up to a line ".".
    std::size_t k = i + 6;
    if (k < e && blank(p[k])) {
      while (k < e && blank(p[k])) ++k;
      while (k < e && (word_byte(p[k]) || p[k] == ':')) ++k;
    }
    while (k < e && blank(p[k])) ++k;
    if (k < e && p[k] == '=') {
      ++k;
      while (k < e && (blank(p[k]) || p[k] == '\r')) ++k;
      if (k == e || p[k] == '\n') {
        heredoc d{};
        d.word[0] = '.';
        d.len = 1;
        d.strip = strip_none;
        doc_[docs_++] = d;
      }
    }
  }
  if (f.data_end) {
    for (const std::string_view end : {"__END__", "__DATA__"}) {
      const std::size_t w = i + end.size();
      if (starts(end) && (w == e || p[w] == '\n' || p[w] == '\r') && (f.perl_forms || end == "__END__")) {
        gave_up_ = data_rest_ = true;
        return i;
      }
    }
  }
  if (f.yaml_forms) {
    std::size_t k = i;
    if (block_indent_ >= 0) {
      // In a block scalar while blank or indented past its parent's line.
      while (k < e && p[k] == ' ') ++k;
      if (k == e || p[k] == '\n' || p[k] == '\r' || p[k] == '\t' || static_cast<long>(k - i) > block_indent_)
        return keep_whole();
      block_indent_ = -1;
    }
    // Only the indentation, and the blanks that separate a key from its
    // value, are code: a tab or a run of blanks elsewhere may be a scalar's own.
    for (k = i; k < e && blank(p[k]);) ++k;
    mark(k, e);
    for (std::size_t c = k; c + 1 < e && std::strchr("\"'#{[\n", p[c]) == nullptr; ++c) {
      if (p[c] == ':' && blank(p[c + 1])) {
        std::size_t v = c + 1;
        while (v < e && blank(p[v])) ++v;
        if (v < e && p[v] != '\n' && p[v] != '\r' && p[v] != '#') set_bits(lit_, base_ + c + 1, base_ + v, false);
        break;
      }
    }
  }
  return i;
}

}  // namespace morek
