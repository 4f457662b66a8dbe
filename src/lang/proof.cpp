#include "proof.hpp"

#include <cstdint>
#include <cstring>
#include <vector>

#include "lexer.hpp"
#include "python_indent.hpp"

namespace morek {

namespace {

bool bit(const std::vector<std::uint64_t>& m, std::size_t k) { return (m[k / 64] >> (k % 64) & 1) != 0; }

// The literal bytes of a text as its lexer finds them, in runs.
struct lexed {
  std::vector<unsigned char> bytes;  // the text, padded for the lexer
  std::vector<std::uint64_t> lit;
  std::size_t n = 0;
};

lexed lex(std::string_view text, language lang) {
  lexed l;
  l.n = text.size();
  l.bytes.assign(text.size() + LEXER_PAD, 0);
  std::memcpy(l.bytes.data(), text.data(), text.size());
  l.lit.assign(text.size() / 64 + 2, 0);
  literal_lexer lexer;
  lexer.start(lang);
  lexer.scan(l.bytes.data(), l.n, true, l.lit.data(), 0);
  return l;
}

// The next run of literal bytes at or after at: [from, to), or from == n.
void next_run(const lexed& l, std::size_t at, std::size_t& from, std::size_t& to) {
  from = at;
  while (from < l.n && !bit(l.lit, from)) ++from;
  to = from;
  while (to < l.n && bit(l.lit, to)) ++to;
}

std::size_t line_of(std::string_view text, std::size_t at) {
  std::size_t line = 1;
  for (std::size_t k = 0; k < at && k < text.size(); ++k) line += text[k] == '\n';
  return line;
}

// The first line where the literals of the two differ; 0 when they agree.
std::size_t literals_differ(std::string_view in, std::string_view out, language lang) {
  if (lang == language::text) return 0;
  const lexed a = lex(in, lang), b = lex(out, lang);
  std::size_t ia = 0, ib = 0;
  for (;;) {
    std::size_t fa, ta, fb, tb;
    next_run(a, ia, fa, ta);
    next_run(b, ib, fb, tb);
    if (fa == a.n && fb == b.n) return 0;
    if (fa == a.n || fb == b.n || ta - fa != tb - fb || std::memcmp(a.bytes.data() + fa, b.bytes.data() + fb, ta - fa) != 0)
      return line_of(in, fa < a.n ? fa : in.size());
    ia = ta;
    ib = tb;
  }
}

// Lines that start with a tab, in order; and, for YAML, lines whose
// indentation holds a tab.
std::size_t lines_differ_in_start(std::string_view in, std::string_view out, bool yaml) {
  std::size_t line = 1, a = 0, b = 0;
  while (a < in.size() && b < out.size()) {
    const std::size_t ea = in.find('\n', a), eb = out.find('\n', b);
    const std::string_view la = in.substr(a, ea == std::string_view::npos ? std::string_view::npos : ea - a);
    const std::string_view lb = out.substr(b, eb == std::string_view::npos ? std::string_view::npos : eb - b);
    if (yaml) {
      auto tab_in_indent = [](std::string_view l) {
        const std::size_t k = l.find_first_not_of(" \t");
        return l.substr(0, k).find('\t') != std::string_view::npos;
      };
      if (tab_in_indent(lb) && !tab_in_indent(la)) return line;
    } else if ((!la.empty() && la[0] == '\t') != (!lb.empty() && lb[0] == '\t')) {
      return line;
    }
    if (ea == std::string_view::npos || eb == std::string_view::npos) break;
    a = ea + 1;
    b = eb + 1;
    ++line;
  }
  return 0;
}

}  // namespace

proof prove_conversion(std::string_view in, std::string_view out, language lang, file_kind kind) {
  if (const std::size_t line = literals_differ(in, out, lang); line != 0) return {line, "a literal would change"};
  if (kind == file_kind::makefile) {
    if (const std::size_t line = lines_differ_in_start(in, out, false); line != 0)
      return {line, "a recipe line would change"};
  }
  if (kind == file_kind::yaml) {
    if (const std::size_t line = lines_differ_in_start(in, out, true); line != 0)
      return {line, "YAML indentation would hold a tab"};
  }
  if (kind == file_kind::python) {
    python_indent_check before, after;
    before.feed(reinterpret_cast<const unsigned char*>(in.data()), in.size());
    before.finish();
    after.feed(reinterpret_cast<const unsigned char*>(out.data()), out.size());
    after.finish();
    if (after.rejected_line() != 0 && before.rejected_line() == 0)
      return {after.rejected_line(), "Python would reject its indentation"};
  }
  return {};
}

}  // namespace morek
