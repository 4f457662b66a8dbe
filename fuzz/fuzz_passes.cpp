// The line passes and the fused converter on random lines and settings, under
// Shift-JIS, UTF-8 or Latin-1, through the text layer or byte for byte, in
// every style. The converter must write what the passes write, and what they
// write must keep every byte that is not a blank, in order, and every run of
// bytes from 0x80 up whole; without -c, each output line shows at tab2 what
// its input line shows at tab1, less the trailing blanks (under Shift-JIS
// only for ASCII lines); --spaces writes no tab (with --indent-only, none in
// the indentation), and --indent-only between equal widths, as under
// --spaces, keeps all that follows the indentation.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "convert.hpp"
#include "expand.hpp"
#include "fuzz_check.hpp"
#include "retab.hpp"
#include "stream.hpp"
#include "test_support.hpp"
#include "utf8.hpp"

using namespace morek;

namespace {

// The text of an input line without its newline.
std::string body(std::string s) {
  if (!s.empty() && s.back() == '\n') s.pop_back();
  return s;
}

std::string without_blanks(const std::string& s) {
  std::string r;
  for (char c : s)
    if (c != ' ' && c != '\t') r += c;
  return r;
}

// The runs of bytes from 0x80 up, in order.
std::vector<std::string> high_runs(const std::string& s) {
  std::vector<std::string> runs;
  bool in_run = false;
  for (char c : s) {
    const bool high = static_cast<unsigned char>(c) >= 0x80;
    if (high && !in_run) runs.emplace_back();
    if (high) runs.back() += c;
    in_run = high;
  }
  return runs;
}

// The line end the settings ask for.
std::string wanted_end(bool had_cr) {
  if (line_ends == eol_mode::lf || (line_ends == eol_mode::keep && !had_cr)) return "\n";
  return "\r\n";
}

// The lines as the reader delivers them, each with whether its newline had a
// CR before it: the text layer drops every CR; byte for byte only the CR of a
// CR LF goes, and a long line comes in pieces.
struct line {
  std::string text;
  bool had_cr;
};
std::vector<line> read_lines(const std::uint8_t* data, std::size_t size, std::size_t piece) {
  std::string text;
  std::vector<bool> had_cr(size + 1);
  for (std::size_t k = 0; k < size; ++k) {
    if (data[k] == '\r') {
      if (line_ends == eol_mode::text) continue;
      if (k + 1 < size && data[k + 1] == '\n') {
        had_cr[text.size()] = true;
        continue;
      }
    }
    text += static_cast<char>(data[k]);
  }
  std::vector<line> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t n = 0;
    while (n < piece && pos + n < text.size())
      if (text[pos + n++] == '\n') break;
    lines.push_back({text.substr(pos, n), had_cr[pos + n - 1]});
    pos += n;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  tab1 = 1 + data[0] % 32 * (data[0] >= 224 ? 8 : 1);
  tab2 = 1 + data[1] % 32 * (data[1] >= 224 ? 8 : 1);
  ign_str = data[2] & 1;
  const bool trim = (data[2] & 2) != 0;
  const std::size_t piece = (data[2] & 4) != 0 ? 255 : 510;  // what -b256 or the default lets through
  utf8_input = (data[2] >> 3) & 1;
  line_ends = static_cast<eol_mode>((data[2] >> 4) & 3);
  latin1_input = utf8_input == 0 ? data[3] & 1 : 0;
  spaces_only = (data[3] >> 1) & 1;
  indent_only = (data[3] >> 2) & 3;
  if (indent_only == 3) indent_only = 1;
  if (spaces_only == 1) tab2 = tab1;

  lex_state passes_lex, converter_lex;
  bool first_piece = true;
  for (line& l : read_lines(data + 4, size - 4, piece)) {
    const bool whole = !l.text.empty() && l.text.back() == '\n';
    if (trim) l.text = trimmed(l.text);
    const bool has_newline = !l.text.empty() && l.text.back() == '\n';
    const std::string end = has_newline ? wanted_end(l.had_cr) : "";

    const lex_state before = passes_lex;
    std::string passes = by_passes(l.text, passes_lex, first_piece);
    if (has_newline) passes.replace(passes.size() - 2, 2, end);

    std::string padded = l.text + std::string(CONVERT_PAD, '\x80');
    std::vector<unsigned char> out(convert_bound(l.text.size(), tab1));
    const unsigned char* stop = convert_line(reinterpret_cast<const unsigned char*>(padded.data()), l.text.size(),
                                             converter_lex, out.data(), l.had_cr, first_piece);
    const std::string converted(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(stop - out.data()));

    check(converted == passes, "converter and passes agree");
    if (ign_str == 1)
      check(converter_lex.quote == passes_lex.quote && converter_lex.in_block == passes_lex.in_block &&
                converter_lex.escape == passes_lex.escape,
            "converter and passes leave the same lexical state");
    check(converted.size() >= end.size() && converted.compare(converted.size() - end.size(), end.size(), end) == 0,
          "the line ends as asked");
    const std::string out_body = converted.substr(0, converted.size() - end.size());
    const std::string in_body = body(l.text);
    check(without_blanks(out_body) == without_blanks(in_body), "only blanks change");
    check(high_runs(out_body) == high_runs(in_body), "no sequence of bytes from 0x80 up is altered");
    check(broken_style_promise(in_body, out_body, first_piece, before) == nullptr,
          "the line looks the same, and keeps what its style keeps");
    first_piece = whole;
  }
  return 0;
}
