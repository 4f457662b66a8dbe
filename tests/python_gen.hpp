// Generated Python programs for the tests that hold the block reader and
// the proof to python3: blocks indented by tabs, spaces and form feeds in
// every mix (consistent or not), CR, LF and CR LF line ends, brackets and
// backslash continuations over several lines, strings of every prefix and
// quoting with blanks and line ends inside, comments, and now and then an
// error of the tokenizer's own.
#pragma once

#include <random>
#include <string>
#include <vector>

struct generated_python {
  std::string text;
  bool backslash_in_indentation = false;  // a line's indentation holds a backslash-newline
  bool tokenizer_error = false;           // an error the tokenizer stops at was put in
};

inline generated_python generate_python(std::mt19937& rng) {
  generated_python g;
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const char* const units[] = {"    ", "\t", "  ", " ", "\t ", "    \t", "        ", " \t"};
  const char* const ends[] = {"\n", "\r\n", "\r"};
  const std::size_t main_end = pick(3);
  auto nl = [&] { return std::string(ends[pick(10) == 0 ? pick(3) : main_end]); };
  auto blanks = [&] {
    const char* const b[] = {" ", "\t", "  ", "\f", "    "};
    std::string s;
    for (std::size_t k = pick(4); k > 0; --k) s += b[pick(std::size(b))];
    return s;
  };
  std::vector<std::string> levels{""};
  // A line's indentation: its block's, or, in half of the programs, now and
  // then another mix; or a form feed before it.
  const bool mixed = pick(2) == 0;
  auto indentation = [&] {
    std::string ind = levels.back();
    if (mixed && pick(5) == 0) {
      // Mostly the same width at tabs of 8, reached another way.
      std::size_t width = 0;
      for (const char c : ind) width = c == '\t' ? (width / 8 + 1) * 8 : width + 1;
      ind.clear();
      if (pick(3) == 0) {
        for (std::size_t k = pick(4); k > 0; --k) ind += units[pick(std::size(units))];
      } else {
        for (std::size_t col = 0; col < width;) {
          const bool tab = (col / 8 + 1) * 8 <= width && pick(2) == 0;
          ind += tab ? '\t' : ' ';
          col = tab ? (col / 8 + 1) * 8 : col + 1;
        }
      }
    }
    if (pick(15) == 0) ind = (pick(2) == 0 ? "\f" : "  \f") + ind;
    return ind;
  };
  auto string_literal = [&] {
    const char* const prefixes[] = {"", "", "r", "b", "rb", "Rb", "BR", "u", "f", "fR", "rf"};
    const std::string prefix = prefixes[pick(std::size(prefixes))];
    const char q = pick(2) == 0 ? '\'' : '"', other = q == '\'' ? '"' : '\'';
    const bool triple = pick(2) == 0;
    std::string body;
    for (std::size_t k = pick(8); k > 0; --k) {
      switch (pick(7)) {
        case 0: body += "a"; break;
        case 1: body += " "; break;
        case 2: body += "\t  "; break;
        case 3: body += triple ? nl() + blanks() : std::string("\\") + nl() + blanks(); break;
        case 4: body += other; break;
        case 5: body += std::string("\\") + q; break;
        default: body += prefix.find_first_of("fF") != std::string::npos ? "{a}" : "#"; break;
      }
    }
    const std::string quotes(triple ? 3 : 1, q);
    return prefix + quotes + body + quotes;
  };
  const std::size_t lines = 4 + pick(20);
  for (std::size_t k = 0; k < lines; ++k) {
    if (levels.size() > 1 && pick(4) == 0) levels.resize(levels.size() - 1 - pick(levels.size() - 1));
    const std::string ind = indentation();
    switch (pick(20)) {
      case 0:
      case 1:
      case 2:
      case 3:
        // A block, and its first line.
        g.text += ind + "if x:" + (pick(4) == 0 ? "  # opens" : "") + nl();
        levels.push_back(levels.back() + units[pick(std::size(units))]);
        g.text += indentation() + "y = 1" + nl();
        break;
      case 4:
        g.text += ind + "y = (1," + nl() + blanks() + "2," + nl() + blanks() + "[3])" + nl();
        break;
      case 5:
        g.text += ind + "z = 1 + \\" + nl() + blanks() + "2" + nl();
        break;
      case 6:
      case 7:
        g.text += ind + "s = " + string_literal() + nl();
        break;
      case 8:
        g.text += blanks() + "# it's \"quoted\"" + nl();
        break;
      case 9:
        g.text += blanks() + nl();
        break;
      case 10:
        if (pick(3) == 0) {
          g.backslash_in_indentation = true;
          g.text += ind + "\\" + nl() + blanks() + "w = 2" + nl();
        } else {
          g.text += ind + "w = {'k':" + nl() + blanks() + string_literal() + "}" + nl();
        }
        break;
      case 11:
        if (pick(5) == 0) {
          const char* const errors[] = {"q = 'open", "r = 1 + \\ ", "t = (1]"};
          g.tokenizer_error = true;
          g.text += ind + errors[pick(std::size(errors))] + nl();
          break;
        }
        [[fallthrough]];
      default:
        g.text += ind + "x = 1" + (pick(3) == 0 ? "\t# it's" : "") + nl();
        break;
    }
  }
  if (pick(8) == 0) g.text += "tail = 0";  // a last line without a line end
  return g;
}
