// Fixed points: what -i writes, converted again with the widths it is
// written in, stays as it is, in every style, under --eol and under each
// .editorconfig's properties, for random bytes and random files of every
// language and kind.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "random_source.hpp"
#include "run_tool.hpp"

namespace {

// Lines of bytes that blanks, literals and characters are made of, with
// blanks and CRs at their ends in every order, ending in LF, CR LF, CRs and
// LF, or, last, in nothing.
std::string random_bytes(std::mt19937& rng) {
  const char* const pieces[] = {" ", "  ", "\t", "\r", "x", "\"", "'", "#", "/", "*", "\\", "\f", "\xC3\xA9",
                                "\xE4\xB8\xAD", "\x1A", "<<", "{", "}", "`", "%", "\xFF"};
  const char* const tails[] = {"", "", " ", "\t ", "\r", "\r ", " \r ", "\r\r", " \r\t"};
  const char* const ends[] = {"\n", "\r\n", "\r\r\n"};
  std::string s;
  for (std::size_t line = rng() % 6; line > 0; --line) {
    for (std::size_t k = rng() % 8; k > 0; --k) s += pieces[rng() % std::size(pieces)];
    s += tails[rng() % std::size(tails)];
    s += ends[rng() % std::size(ends)];
  }
  if (rng() % 2 == 0) {
    for (std::size_t k = rng() % 4; k > 0; --k) s += pieces[rng() % std::size(pieces)];
    s += tails[rng() % std::size(tails)];
  }
  return s;
}

// A makefile's lines: rules, recipes (continued, quoted, empty), values
// with blanks at their ends, a define, lines that begin with spaces.
std::string random_makefile(std::mt19937& rng) {
  const char* const lines[] = {"all: a  b \n",  "\techo  \"x   y\"  \n", "\t\n",       "X = a  b   # c  \n", "Y := 1  \n",
                               "\tcc \\\n",     "  \t -o x\n",           " \tifdef A\n", "  endif  \n",        "define T\n",
                               "  a \t b  \n", "endef\n",               "\r\n",        "x: ;\techo\r\n",     "\t@echo x\\ \n"};
  std::string s;
  for (std::size_t k = 2 + rng() % 10; k > 0; --k) s += lines[rng() % std::size(lines)];
  return s;
}

std::string random_yaml(std::mt19937& rng) {
  const char* const lines[] = {"a:\n", "  b:   1  \n", "\tc: 2\n", "  - x\t y\n", "d: |\n", "    t  \t\n", "  e: 'q  r'\n",
                               "\n", "f:\t\"s\t t\"\r\n"};
  std::string s = rng() % 2 == 0 ? "%YAML 1.2\n" : "";
  for (std::size_t k = 2 + rng() % 8; k > 0; --k) s += lines[rng() % std::size(lines)];
  return s;
}

const char* const extensions[] = {"txt", "c",  "java", "kt", "cs", "swift", "dart", "js",  "go", "rs",
                                  "php", "py", "sh",   "rb", "pl", "yml",   "md",   "cpp", "ts", "json"};

// Fills d with files of every kind; returns their paths.
std::vector<std::string> random_tree(std::mt19937& rng, const scratch_dir& d) {
  std::vector<std::string> files;
  for (int k = 0; k < 30; ++k) {
    const std::string name = std::to_string(k);
    switch (k % 5) {
      case 0:
        files.push_back(d.write("bytes" + name, random_bytes(rng)));
        break;
      case 1:
        files.push_back(d.write("m" + name + "/Makefile", random_makefile(rng)));
        break;
      case 2:
        files.push_back(d.write("y" + name + (rng() % 2 == 0 ? ".yaml" : ".conf"), random_yaml(rng)));
        break;
      default:
        files.push_back(d.write("f" + name + "." + extensions[rng() % std::size(extensions)], random_source(rng)));
        break;
    }
  }
  return files;
}

// The arguments of a second run: the same style at the width the first
// one wrote (tab2 for tab1).
std::vector<std::string> settled(std::vector<std::string> style) {
  std::size_t first = style.size();
  for (std::size_t k = 0; k < style.size(); ++k)
    if (!style[k].empty() && style[k][0] >= '0' && style[k][0] <= '9') {
      first = k;
      break;
    }
  if (first + 1 < style.size()) style[first] = style[first + 1];
  return style;
}

// Runs style over fresh files, then again at the widths it wrote: the
// second run changes nothing.
void expect_settled(std::mt19937& rng, const std::vector<std::string>& style, const std::string& editorconfig) {
  scratch_dir d;
  if (!editorconfig.empty()) (void)d.write(".editorconfig", "root = true\n[*]\n" + editorconfig);
  const std::vector<std::string> files = random_tree(rng, d);
  std::vector<std::string> before, first;
  for (const std::string& f : files) before.push_back(read_file(f));
  auto run = [&](const std::vector<std::string>& args) {
    std::vector<std::string> all = {"-i"};
    all.insert(all.end(), args.begin(), args.end());
    all.insert(all.end(), files.begin(), files.end());
    const tool_result r = run_tool(all, "");
    EXPECT_EQ(r.status, 0) << r.err;
  };
  run(style);
  for (const std::string& f : files) first.push_back(read_file(f));
  run(settled(style));
  for (std::size_t k = 0; k < files.size(); ++k)
    EXPECT_EQ(read_file(files[k]), first[k]) << files[k] << " under " << testing::PrintToString(style) << " "
                                             << testing::PrintToString(editorconfig) << "\nat first "
                                             << testing::PrintToString(before[k]) << "\nthen "
                                             << testing::PrintToString(first[k]);
}

TEST(FixedPoints, EveryStyleUnderEveryEol) {
  std::mt19937 rng(7);
  const std::vector<std::vector<std::string>> styles = {{"8", "4"},
                                                        {"4", "8"},
                                                        {"--spaces", "4"},
                                                        {"--indent-only", "4", "4"},
                                                        {"--indent-only", "--spaces", "2"},
                                                        {"-t", "4", "2"}};
  for (const auto& style : styles) {
    for (const char* eol : {"--eol=keep", "--eol=lf", "--eol=crlf"}) {
      std::vector<std::string> args = {eol};
      args.insert(args.end(), style.begin(), style.end());
      expect_settled(rng, args, "");
    }
  }
}

TEST(FixedPoints, EveryEditorConfigCombination) {
  std::mt19937 rng(77);
  for (const char* indent : {"indent_style = tab\n", "indent_style = space\n", ""}) {
    for (const char* eol : {"end_of_line = lf\n", "end_of_line = crlf\n", ""}) {
      for (const char* trim : {"trim_trailing_whitespace = true\n", ""}) {
        for (const char* final : {"insert_final_newline = true\n", "insert_final_newline = false\n", ""}) {
          const std::string props = std::string(indent) + "tab_width = " + std::to_string(2 << (rng() % 3)) + "\n" + eol +
                                    trim + final;
          expect_settled(rng, {"--editorconfig"}, props);
        }
      }
    }
  }
}

}  // namespace
