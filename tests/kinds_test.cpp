// Kinds of file by name and first line, the hooks' exclusions against the
// same table, and Python's indentation rule against python3 itself.
#include "kinds.hpp"

#include <gtest/gtest.h>
#include <regex.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "python_indent.hpp"
#include "run_tool.hpp"

using namespace morek;

namespace {

struct kind_case {
  const char* name;
  const char* head;
  file_kind kind;
};
void PrintTo(const kind_case& c, std::ostream* os) { *os << c.name << " / " << c.head; }

class Kinds : public testing::TestWithParam<kind_case> {};

TEST_P(Kinds, ByNameThenFirstLine) { EXPECT_EQ(kind_of(GetParam().name, GetParam().head), GetParam().kind); }

const kind_case kind_cases[] = {
    {"Makefile", "", file_kind::makefile},
    {"GNUmakefile", "", file_kind::makefile},
    {"BSDmakefile", "", file_kind::makefile},
    {"Kbuild", "", file_kind::makefile},
    {"Makefile.am", "", file_kind::makefile},
    {"Makefile.in", "", file_kind::makefile},
    {"makefile.linux", "", file_kind::makefile},
    {"rules.make", "", file_kind::makefile},
    {"x.mk", "", file_kind::makefile},
    {"x.mak", "", file_kind::makefile},
    {"rules", "#!/usr/bin/make -f\n", file_kind::makefile},
    {"rules", "#! /usr/bin/make -sf\r\n", file_kind::makefile},
    {"rules", "#!/usr/bin/make\n", file_kind::other},
    {"Makefile.", "", file_kind::other},
    {"Makefile.inc", "", file_kind::makefile},
    {"Makefile.win32", "", file_kind::makefile},
    {"Makefile.PL", "", file_kind::other},  // Perl
    {"Makefile.toml", "", file_kind::other},
    {"makefile.md", "", file_kind::other},
    {"Makefile.py", "", file_kind::python},
    {"Makefile.yml", "", file_kind::yaml},
    {"rules", "\xEF\xBB\xBF#!/usr/bin/make -f\n", file_kind::makefile},
    {"a.yml", "", file_kind::yaml},
    {"a.yaml", "", file_kind::yaml},
    {"CITATION.cff", "", file_kind::yaml},
    {".clang-format", "", file_kind::yaml},
    {".clang-tidy", "", file_kind::yaml},
    {".clangd", "", file_kind::yaml},
    {".gemrc", "", file_kind::yaml},
    {".condarc", "", file_kind::yaml},
    {".yamllint", "", file_kind::yaml},
    {".prettierrc", "", file_kind::yaml},
    {".eslintrc", "", file_kind::yaml},
    {".stylelintrc", "", file_kind::yaml},
    {".prettierrc.json", "", file_kind::other},
    {"config", "%YAML 1.2\n---\n", file_kind::yaml},
    {"a.py", "", file_kind::python},
    {"a.pyi", "", file_kind::python},
    {"a.pyw", "", file_kind::python},
    {"tool", "#!/usr/bin/env python3\n", file_kind::python},
    {"tool", "#!/usr/bin/env -S python3 -u\n", file_kind::python},
    {"tool", "#!/usr/bin/python3.11\n", file_kind::python},
    {"tool", "#!/usr/bin/env -S uv run --script\n", file_kind::python},
    {"tool", "#!/usr/bin/env -S uv run --with rich\n", file_kind::python},
    {"tool", "#!/usr/bin/env uv\n", file_kind::other},
    {"tool", "\xEF\xBB\xBF#!/usr/bin/python3\n", file_kind::python},
    {"tool", "#!/usr/bin/env -S PYTHONPATH=. python3 -u\n", file_kind::python},
    {"tool", "#!/usr/bin/env -Spython3\n", file_kind::python},
    {"tool", "#!/usr/bin/env -i -u HOME -C /tmp pypy3\n", file_kind::python},
    {"tool", "#!/usr/bin/env -- python3\n", file_kind::python},
    {"conf", "\xEF\xBB\xBF%YAML 1.2\n", file_kind::yaml},
    {"tool", "#!/bin/sh\n", file_kind::other},
    {"tool.sh", "#!/usr/bin/env python3\n", file_kind::other},  // the name decides first
    {"a.c", "%YAML\n", file_kind::other},
    {"fix.patch", "", file_kind::patch},
    {"old.diff", "", file_kind::patch},
    {"data.tsv", "", file_kind::tsv},
    {"package-lock.json", "", file_kind::generated},
    {"pnpm-lock.yaml", "", file_kind::generated},
    {"go.sum", "", file_kind::generated},
    {"app.min.js", "", file_kind::generated},
    {"site.min.css", "", file_kind::generated},
    {"min.js", "", file_kind::other},
};
INSTANTIATE_TEST_SUITE_P(Table, Kinds, testing::ValuesIn(kind_cases));

// The language of a name without a known extension, through env's options
// and settings and a byte order mark; a Makefile.PL is Perl.
TEST(Kinds, LanguagesByNamesAndFirstLines) {
  const struct {
    const char* base;
    const char* head;
    language lang;
  } cases[] = {
      {"Makefile.PL", "", language::perl},
      {"Build.PL", "#!/bin/sh\n", language::perl},
      {"tool", "#!/usr/bin/env -S uv run --script\n", language::python},
      {"tool", "\xEF\xBB\xBF#!/bin/sh\n", language::shell},
      {"tool", "#!/usr/bin/env -S FOO=1 bash -e\n", language::shell},
      {"tool", "#!/usr/bin/env -vS ruby -w\n", language::ruby},
      {"tool", "#!/usr/bin/env -u LANG perl\n", language::perl},
      {"tool", "#!/usr/bin/env --chdir /tmp node\n", language::js},
      {"tool", "#!/usr/bin/env -S\n", language::text},
      {"tool", "\xEF\xBB\xBF" "echo\n", language::text},
  };
  for (const auto& c : cases)
    EXPECT_EQ(language_of(c.base, c.head), c.lang) << c.base << " " << testing::PrintToString(std::string(c.head));
}

TEST(Kinds, HooksLeaveOutEveryMakefileAndYamlName) {
  // The hooks' "exclude" pattern, with pre-commit's own "types" aside, must
  // take in every name of the table that a conversion could break.
  std::ifstream hooks(std::string(MOREK_SOURCE_DIR) + "/.pre-commit-hooks.yaml");
  std::stringstream text;
  text << hooks.rdbuf();
  const std::string all = text.str();
  int hooks_seen = 0;
  for (std::size_t at = all.find("exclude: '"); at != std::string::npos; at = all.find("exclude: '", at + 1)) {
    const std::size_t from = at + 10;
    // The pattern is Python's; what it uses is POSIX's extended syntax too.
    regex_t exclude;
    ASSERT_EQ(regcomp(&exclude, all.substr(from, all.find('\'', from) - from).c_str(), REG_EXTENDED | REG_NOSUB), 0);
    ++hooks_seen;
    for (const kind_name& k : kind_names()) {
      if (k.kind != file_kind::makefile && k.kind != file_kind::yaml && k.kind != file_kind::patch &&
          k.kind != file_kind::tsv && k.kind != file_kind::generated)
        continue;
      std::string example = std::string(k.text);
      if (k.how == name_match::prefix) example += "am";
      if (k.how == name_match::suffix) example = "x" + example;
      EXPECT_EQ(regexec(&exclude, ("sub/" + example).c_str(), 0, nullptr, 0), 0) << example;
    }
    regfree(&exclude);
  }
  EXPECT_EQ(hooks_seen, 4);
}

// Python's own verdict on a text: whether compile() takes it.
bool python_takes(const std::string& text) {
  scratch_dir s;
  const std::string f = s.write("t.py", text);
  const std::string command = "python3 -c \"import sys; compile(open(sys.argv[1]).read(), 't', 'exec')\" '" + f +
                              "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

struct indent_case {
  const char* name;
  std::string text;
  std::size_t rejected;  // the line, 0 for none
};
void PrintTo(const indent_case& c, std::ostream* os) { *os << c.name; }

class PythonIndentation : public testing::TestWithParam<indent_case> {};

TEST_P(PythonIndentation, AsPythonItselfJudges) {
  const indent_case& c = GetParam();
  if (std::system("python3 -c 'pass' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  EXPECT_EQ(python_takes(c.text), c.rejected == 0) << "the row is wrong about Python";
  // Fed whole and a byte at a time.
  python_indent_check whole, bytes;
  whole.feed(reinterpret_cast<const unsigned char*>(c.text.data()), c.text.size());
  whole.finish();
  for (const char ch : c.text) bytes.feed(reinterpret_cast<const unsigned char*>(&ch), 1);
  bytes.finish();
  EXPECT_EQ(whole.rejected_line(), c.rejected);
  EXPECT_EQ(bytes.rejected_line(), c.rejected);
}

const indent_case indent_cases[] = {
    {"spaces", "def f():\n    if x:\n        return 1\n    return 2\n", 0},
    {"tabs", "def f():\n\tif x:\n\t\treturn 1\n\treturn 2\n", 0},
    {"tab_then_eight_spaces_same_block", "def f():\n\tx = 1\n        y = 2\n", 3},
    {"four_spaces_then_tab_deeper", "def f():\n    if x:\n\treturn 1\n", 3},
    {"tab_and_four_spaces_mixed", "def f():\n    if x:\n\t    return 1\n    return 2\n", 0},
    {"eight_spaces_under_tab", "if x:\n\tif y:\n\t        z = 1\n", 0},
    {"dedent_to_no_level", "if x:\n        a = 1\n    b = 2\n", 3},
    {"inside_brackets_free", "x = (1,\n\t  2,\n        3)\nif x:\n    y = 1\n", 0},
    {"after_backslash_free", "x = 1 + \\\n\t\t2\nif x:\n    y = 1\n", 0},
    {"inside_a_docstring_free", "def f():\n    '''doc\n\tmore\n  '''\n    return 1\n", 0},
    {"quotes_in_a_comment_open_nothing", "def f():\n    # don't\n    return 1\n", 0},
    {"comment_lines_do_not_count", "def f():\n    x = 1\n\t# c\n    return x\n", 0},
    {"escaped_quote_in_string", "def f():\n    s = 'a\\'b'\n    return s\n", 0},
    {"mixed_after_a_triple_string", "s = \"\"\"a\n\"\"\"\nif s:\n    x = 1\n\ty = 2\n", 5},
};
INSTANTIATE_TEST_SUITE_P(Table, PythonIndentation, testing::ValuesIn(indent_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
