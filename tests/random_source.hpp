// Random source text for the tests of the proof and of fixed points: words,
// operators, literals of many languages, comments and blanks, over lines
// that end in LF or CR LF.
#pragma once

#include <random>
#include <string>

inline std::string random_source(std::mt19937& rng) {
  const char* const words[] = {"x",     "=",      "1",        "(",       ")",        "{",      "}",       ";",
                               "f(a)",  "\"a  b\"", "'c'",      "`d \t e`", "/* c  */", "// c  d", "# e  f",   "r\"g  h\"",
                               "\"\"\"i\n  j\"\"\"", "$x",     "a.b",     "[1, 2]",   "<<EOF\n  k\nEOF\n", "%q(l  m)", "q{n  o}",
                               "ab:",   "- p",    "/r  s/",   "1'000",   "?"};
  const char* const blanks[] = {" ", "  ", "\t", " \t", "\t  ", "    "};
  const bool crlf = rng() % 4 == 0;
  std::string s;
  for (std::size_t line = 0, lines = 3 + rng() % 12; line < lines; ++line) {
    if (rng() % 2 == 0) s += blanks[rng() % std::size(blanks)];
    for (std::size_t w = 0, n = 1 + rng() % 6; w < n; ++w) {
      if (w > 0 && rng() % 3 != 0) s += blanks[rng() % std::size(blanks)];
      s += words[rng() % std::size(words)];
    }
    if (rng() % 5 == 0) s += blanks[rng() % std::size(blanks)];
    s += crlf ? "\r\n" : "\n";
  }
  if (rng() % 5 == 0) s.pop_back();
  return s;
}

