// Small helpers shared by the tests and the fuzz targets.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "errmsg.hpp"
#include "expand.hpp"
#include "retab.hpp"
#include "stream.hpp"

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

// What the two passes write for one line, newline as CR LF.
inline std::string by_passes(const std::string& line, morek::lex_state& lex) {
  std::vector<unsigned char> exp(morek::expansion_bound(line.size(), morek::tab1)), flg(exp.size());
  const std::size_t n = morek::expand_line({reinterpret_cast<const unsigned char*>(line.data()), line.size()},
                                           exp.data(), flg.data(), lex);
  string_sink out;
  morek::retab_line({exp.data(), n}, flg.data(), out);
  return out.s;
}

// err_edit called the way errmsg calls it.
inline std::string edit(const char* fmt, ...) {
  std::va_list ap;
  va_start(ap, fmt);
  std::string r = morek::err_edit(fmt, ap);
  va_end(ap);
  return r;
}
