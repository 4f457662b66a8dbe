// Small helpers shared by the tests and the fuzz targets.
#pragma once

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "errmsg.hpp"
#include "expand.hpp"
#include "retab.hpp"
#include "stream.hpp"
#include "utf8.hpp"

// Whether AddressSanitizer is in the build: it reserves more address space
// than tests that limit it allow, and its allocator is not asked for huge blocks.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool sanitized = true;
#else
inline constexpr bool sanitized = false;
#endif
#else
inline constexpr bool sanitized = false;
#endif

// Puts the settings back as they were when it goes out of scope, however a
// test ends.
struct settings_guard {
  int bufsize = morek::BUFSIZE, t1 = morek::tab1, t2 = morek::tab2, ign = morek::ign_str, utf8 = morek::utf8_input;
  int latin1 = morek::latin1_input, spaces = morek::spaces_only, indent = morek::indent_only;
  morek::eol_mode ends = morek::line_ends;
  settings_guard() = default;
  settings_guard(const settings_guard&) = delete;
  settings_guard& operator=(const settings_guard&) = delete;
  ~settings_guard() {
    morek::BUFSIZE = bufsize;
    morek::tab1 = t1;
    morek::tab2 = t2;
    morek::ign_str = ign;
    morek::utf8_input = utf8;
    morek::latin1_input = latin1;
    morek::spaces_only = spaces;
    morek::indent_only = indent;
    morek::line_ends = ends;
  }
};

// xorshift64: the same numbers from the same seed everywhere.
struct rng {
  std::uint64_t s;
  std::uint64_t next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
};

// Collects what retab_line writes; newlines as the tool writes them unless told otherwise.
struct string_sink {
  std::string s;
  const char* newline_text = "\r\n";
  void put(unsigned char c) { s += static_cast<char>(c); }
  void newline() { s += newline_text; }
  void tabs(std::size_t n) { s.append(n, '\t'); }
  void spaces(std::size_t n) { s.append(n, ' '); }
};

// The line after -t trimming.
inline std::string trimmed(const std::string& line) {
  std::vector<unsigned char> b(line.begin(), line.end());
  b.push_back(0);
  b.resize(morek::trim_line(b.data(), line.size()));
  return {b.begin(), b.end()};
}

// Picks the encoding and the style of a run at random: --utf8 or --latin1
// or neither, --spaces (tab2 then follows tab1) and --indent-only.
inline void random_style(rng& r) {
  morek::utf8_input = r.below(2);
  morek::latin1_input = morek::utf8_input == 0 && r.below(3) == 0 ? 1 : 0;
  morek::spaces_only = r.below(4) == 0 ? 1 : 0;
  static const int styles[] = {0, 0, 0, 1, 1, 2};  // none, indentation only, every blank kept
  morek::indent_only = styles[r.below(6)];
  if (morek::spaces_only == 1) morek::tab2 = morek::tab1;
}

// The settings of a run, for a failure message.
inline std::string settings_text() {
  using namespace morek;
  return "tab1 " + std::to_string(tab1) + " tab2 " + std::to_string(tab2) + " -c " + std::to_string(ign_str) +
         " --utf8 " + std::to_string(utf8_input) + " --latin1 " + std::to_string(latin1_input) + " --spaces " +
         std::to_string(spaces_only) + " --indent-only " + std::to_string(indent_only);
}

// What the two passes write for one line, newline as CR LF.
inline std::string by_passes(const std::string& line, morek::lex_state& lex, bool first_piece = true) {
  std::vector<unsigned char> exp(morek::expansion_bound(line.size(), morek::tab1)), flg(exp.size());
  const std::size_t n = morek::expand_line({reinterpret_cast<const unsigned char*>(line.data()), line.size()},
                                           exp.data(), flg.data(), lex, first_piece);
  string_sink out;
  morek::retab_line({exp.data(), n}, flg.data(), out);
  return out.s;
}

// What a terminal shows of a line at tab width tab: each character that is
// not a blank, with the column it stands at (one a byte, but UTF-8
// characters by their width under --utf8).
inline std::vector<std::pair<std::size_t, std::string>> shown(const std::string& s, int tab) {
  std::vector<std::pair<std::size_t, std::string>> r;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto t = static_cast<std::size_t>(tab);
  std::size_t col = 0;
  for (std::size_t i = 0; i < s.size();) {
    if (p[i] == ' ' || p[i] == '\t') {
      col = p[i] == ' ' ? col + 1 : col + t - col % t;
      ++i;
      continue;
    }
    const morek::utf8_char u =
        morek::utf8_input == 1 && p[i] >= 0x80 ? morek::utf8_at(p + i, s.size() - i) : morek::utf8_char{1, 1};
    r.emplace_back(col, s.substr(i, u.len));
    col += static_cast<std::size_t>(u.width);
    i += u.len;
  }
  return r;
}

// What the styles promise of one line, in (its newline and any -t trimming
// aside) and its conversion out, where the line started in the lexical state
// lex and was the first piece of its line or not: nullptr when all hold, else
// the promise broken. Without -c (literals keep their tabs) and where every
// byte has a known width, the line shows every character at the column it
// had; --spaces writes no tab, and with --indent-only none in the
// indentation; --indent-only where the widths agree (under --spaces too)
// keeps every byte after the indentation.
inline const char* broken_style_promise(const std::string& in, const std::string& out, bool first_piece,
                                        const morek::lex_state& lex) {
  using namespace morek;
  // A Shift-JIS lead byte may take a blank as its second byte.
  bool no_pairs = true;
  if (utf8_input == 0 && latin1_input == 0)
    for (char c : in) no_pairs = no_pairs && static_cast<unsigned char>(c) < 0x80;
  if (no_pairs && ign_str == 0 && shown(out, tab2) != shown(in, tab1)) return "every character keeps its column";
  if (no_pairs && spaces_only == 1 && ign_str == 0 && indent_only == 0 && out.find('\t') != std::string::npos)
    return "--spaces writes no tab";
  if (spaces_only == 1 && indent_only == 1 && ign_str == 0 && first_piece) {
    const std::size_t lead = out.find_first_not_of(" \t");
    if (lead != std::string::npos && out[lead] != '\n' && out.find('\t') < lead)
      return "--spaces --indent-only writes no tab in the indentation";
  }
  if (indent_only != 0 && tab1 == tab2) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t indent = indent_only == 1 ? indentation_end(p, in.size(), first_piece, lex) : 0;
    const std::size_t out_indent = indent == 0 ? 0 : out.find_first_not_of(" \t");
    if (out.compare(std::min(out_indent, out.size()), std::string::npos, in, indent) != 0)
      return "--indent-only keeps what follows the indentation";
  }
  return nullptr;
}

// err_edit called the way errmsg calls it.
inline std::string edit(const char* fmt, ...) {
  std::va_list ap;
  va_start(ap, fmt);
  std::string r = morek::err_edit(fmt, ap);
  va_end(ap);
  return r;
}
