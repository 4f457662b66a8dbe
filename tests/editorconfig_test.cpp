// The .editorconfig reader: section globs as the format defines them, the
// order in which files and sections win, and the limits that turn hostile
// files into errors.
#include "editorconfig.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "file_settings.hpp"
#include "run_tool.hpp"

using namespace morek;
namespace fs = std::filesystem;

namespace {

struct glob_case {
  const char* glob;
  const char* path;  // relative to the .editorconfig's directory
  bool matches;
  bool core_agrees = true;  // the C core (0.12.6, Debian's) answers the same
};
void PrintTo(const glob_case& c, std::ostream* os) { *os << "[" << c.glob << "] " << c.path; }

class Globs : public testing::TestWithParam<glob_case> {};

TEST_P(Globs, MatchAsTheFormatSays) {
  const glob_case& c = GetParam();
  ec_glob g;
  std::string why;
  ASSERT_TRUE(g.compile(c.glob, why)) << why;
  EXPECT_EQ(g.matches(c.path), c.matches);
  // Globs of real files cost a few states a byte: far below the budget a
  // file's path gets for all of its globs.
  std::size_t budget = 4096;
  EXPECT_EQ(g.matches(c.path, budget), std::optional<bool>(c.matches));
  // The C core's answer, where it is installed.
  if (c.core_agrees && std::system("command -v editorconfig >/dev/null 2>&1") == 0) {
    scratch_dir s;
    (void)s.write(".editorconfig", std::string("root = true\n[") + c.glob + "]\nk = v\n");
    const std::string out = s.path("out");
    const std::string command = "editorconfig '" + s.path(c.path) + "' > '" + out + "' 2>&1";
    ASSERT_NE(std::system(command.c_str()), -1);
    EXPECT_EQ(read_file(out) == "k=v\n", c.matches) << "the C core differs";
  }
}

const glob_case glob_cases[] = {
    // "*": any string but a separator; a glob without '/' matches at any depth.
    {"*.c", "a.c", true},
    {"*.c", "sub/deep/a.c", true},
    {"*.c", "a.h", false},
    {"a*b", "axxb", true},
    {"a*b", "a/b", false},
    {"*", "a/b", true},
    // A glob with '/' is anchored at the .editorconfig, a leading '/' or not.
    {"sub/*.c", "sub/a.c", true},
    {"sub/*.c", "x/sub/a.c", false},
    {"sub/*.c", "sub/deep/a.c", false},
    {"/sub/*.c", "sub/a.c", true},
    {"/sub/*.c", "x/sub/a.c", false},
    // "**": any string, separators included; "/**/" may stand for none.
    {"sub/**.c", "sub/deep/a.c", true},
    {"a/**/b.c", "a/b.c", true},
    {"a/**/b.c", "a/x/b.c", true},
    {"a/**/b.c", "a/x/y/b.c", true},
    {"a/**/b.c", "ab.c", false},
    {"**/b.c", "b.c", true},
    {"**/b.c", "x/y/b.c", true},
    {"**", "any/thing", true},
    // "?": one character but a separator.
    {"?.c", "a.c", true},
    {"?.c", "ab.c", false},
    {"a?b", "a/b", false},
    // "[seq]" and "[!seq]", whose characters are all literal.
    {"[abc].c", "b.c", true},
    {"[abc].c", "d.c", false},
    {"[!abc].c", "d.c", true},
    {"[!abc].c", "a.c", false},
    {"[a-c].c", "b.c", true},
    // "{n1..n2}" inside a glob of other parts; "0" is an integer (the C
    // core 0.12 takes none that starts with '0').
    {"f{0..3}.txt", "f0.txt", true, false},
    {"f{0..3}.txt", "f3.txt", true},
    {"f{0..3}.txt", "f4.txt", false},
    {"f{0..3}.txt", "f03.txt", false},
    {"{-3..3}", "0", true, false},
    {"{1..3}", "0", false},
    // The C core reads braces inside brackets too.
    {"[ab*c{1..2}].c", "*.c", true, false},
    {"[ab*c{1..2}].c", "{.c", true, false},
    {"[ab*c{1..2}].c", "x.c", false},
    {"[!x]", "/", false, false},  // no file's path
    // An escaped ']' is one of the set, and closes nothing.
    {"[\\]ab].g", "].g", true},
    {"[\\]ab].g", "b.g", true},
    {"[\\]ab].g", "c.g", false},
    // As the core test suite has it; Debian's C core predates that.
    {"[!\\]ab].g", "c.g", true, false},
    {"[!\\]ab].g", "].g", false, false},
    {"[ab]].g", "b].g", true},
    // "{s1,s2}", nested too; "{s1}" is itself.
    {"{a,b}.c", "a.c", true},
    {"{a,b}.c", "b.c", true},
    {"{a,b}.c", "c.c", false},
    {"{a,{b,c}}.c", "c.c", true},
    {"*.{c,h}", "sub/x.h", true},
    {"{a}.c", "{a}.c", true},
    {"{a}.c", "a.c", false},
    {"{a,b", "{a,b", true},
    {"{,x}y", "y", true},
    // "{n1..n2}": integers from n1 to n2; otherwise itself.
    {"{1..3}.c", "2.c", true},
    {"{1..3}.c", "4.c", false},
    {"{1..3}.c", "10.c", false},
    {"{-1..4}.c", "-1.c", true},
    {"{-1..4}.c", "0.c", true, false},  // zero is an integer; the C core takes none that starts with 0
    {"{-1..4}.c", "+3.c", true},
    {"{3..120}", "060", false},
    {"{3..120}", "60", true},
    {"file{01..10}.txt", "file05.txt", false},
    {"file{01..10}.txt", "file5.txt", true},
    {"{5..5}", "5", true},
    {"{-1..4}.c", "-2.c", false},
    {"{3..1}.c", "{3..1}.c", false},  // a range, of nothing
    {"{3..1}.c", "2.c", false},
    {"file{1..12}", "file12", true},
    // A backslash takes the next character as it is.
    {"\\*.c", "*.c", true},
    {"\\*.c", "a.c", false},
    {"\\{a,b}", "{a,b}", true},
    // A section name that ends in '/' matches no file.
    {"sub/", "sub/a.c", false},
};
INSTANTIATE_TEST_SUITE_P(Table, Globs, testing::ValuesIn(glob_cases));

struct parse_case {
  const char* name;
  std::string text;
  std::string error;      // empty: accepted
  std::string pairs = "";  // accepted: the last section's pairs, "key=value;" each
  const char* file = "";   // a file that the last section alone governs, to ask the C core about
};
void PrintTo(const parse_case& c, std::ostream* os) { *os << c.name; }

class Parse : public testing::TestWithParam<parse_case> {};

TEST_P(Parse, AcceptsOrRefusesWithTheLine) {
  const parse_case& c = GetParam();
  const ec_file f = parse_editorconfig(c.text);
  EXPECT_EQ(f.error, c.error);
  if (!c.error.empty()) {
    EXPECT_TRUE(f.sections.empty());
  } else if (!c.pairs.empty()) {
    ASSERT_FALSE(f.sections.empty());
    std::string pairs;
    for (const auto& [k, v] : f.sections.back().pairs) pairs += k + "=" + v + ";";
    EXPECT_EQ(pairs, c.pairs);
    // The C core reads the same pairs, where it is installed.
    if (*c.file != '\0' && std::system("command -v editorconfig >/dev/null 2>&1") == 0) {
      scratch_dir t;
      (void)t.write(".editorconfig", "root = true\n" + c.text);
      const std::string command = "editorconfig '" + t.path(c.file) + "' > '" + t.path("out") + "'";
      ASSERT_EQ(std::system(command.c_str()), 0);
      const std::string core = read_file(t.path("out"));
      for (const auto& [k, v] : f.sections.back().pairs)
        EXPECT_NE(core.find(k + "=" + v + "\n"), std::string::npos) << k << " in\n" << core;
    }
  }
}

std::string nested_braces(int n) {
  std::string s = "[";
  for (int i = 0; i < n; ++i) s += "{a,";
  s += "b";
  for (int i = 0; i < n; ++i) s += "}";
  return s + "]\nk = v\n";
}

std::string flat_braces(int n) {
  std::string s = "[";
  for (int i = 0; i < n; ++i) s += "{a,b}";
  return s + "]\nk = v\n";
}

const parse_case parse_cases[] = {
    {"comments_and_blanks", "; c\n# c\n\n  \t\nroot = true\n[*]\n  k  =  v w  \n", ""},
    {"crlf_and_bom", "\xef\xbb\xbfroot = true\r\n[*]\r\nk = v\r\n", ""},
    {"no_value_is_empty", "[*]\nk =\n", ""},
    // As the C core reads them: a ';' or '#' after a blank starts a comment,
    // after a section's name or a value; ':' separates as '=' does.
    {"comment_after_a_value", "[*]\nk = v ; c\nj = w # c\ni = x;y#z\n", "", "k=v;j=w;i=x;y#z;", "x"},
    {"comment_after_a_section", "[*.c] ; c files\nk = v\n[*.h]# no blank before it\nj = w\n", "", "j=w;", "x.h"},
    {"colon", "[*]\nindent_style: tab\nk : v = w\n", "", "indent_style=tab;k : v=w;", "x"},
    {"section_to_its_last_bracket", "[a]b]\nk = v\n", "", "k=v;", "a]b"},
    {"section_without_its_bracket", "[*.c ; ]\nk = v\n", "line 1: neither a section, a pair nor a comment"},
    {"a_line_of_neither", "[*.c]\nindent_style\n", "line 2: neither a section, a pair nor a comment"},
    {"a_pair_without_a_key", "[*]\n= v\n", "line 2: a pair without a key"},
    {"section_name_too_long", "[" + std::string(EC_MAX_NAME + 1, 'a') + "]\n",
     "line 1: section name longer than 4096 bytes"},
    {"section_name_at_the_limit", "[" + std::string(EC_MAX_NAME, 'a') + "]\n", ""},
    {"key_too_long", "[*]\n" + std::string(EC_MAX_KEY + 1, 'k') + " = v\n", "line 2: key longer than 1024 bytes"},
    {"value_too_long", "[*]\nk = " + std::string(EC_MAX_VALUE + 1, 'v') + "\n", "line 2: value longer than 4096 bytes"},
    {"braces_nested_deep", nested_braces(1000), "line 1: braces nested too deeply"},
    {"braces_in_a_row", flat_braces(800), ""},
};
INSTANTIATE_TEST_SUITE_P(Table, Parse, testing::ValuesIn(parse_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Parse, ManyBracesMatchQuickly) {
  // Following every state at once: a glob of hundreds of alternatives and
  // stars costs its size times the path's, never more.
  const ec_file f = parse_editorconfig(flat_braces(800) + "[" + std::string(2000, '*') + "x]\n");
  ASSERT_EQ(f.error, "");
  const std::string path(400, 'a');
  for (const auto& s : f.sections) EXPECT_FALSE(s.glob.matches(path));
}

// A directory tree of .editorconfig files, removed with everything in it.
struct tree : scratch_dir {
  void put(const std::string& name, const std::string& text) const { (void)write(name, text); }
};

TEST(Lookup, NearerFilesAndLaterSectionsWin) {
  tree t;
  t.put(".editorconfig", "this line would be refused\n");  // above the root: never read
  t.put("r/.editorconfig",
        "ROOT = True\n[*]\nindent_size = 2\nk = top\nx = 1\n[*.c]\nk = c-top\n[sub/*.c]\nanchored = yes\n");
  t.put("r/sub/.editorconfig", "[*.c]\nK = near\n[*]\nindent_size = UNSET\n[deep/*]\ny = 2\n");
  ec_lookup lookup;
  const std::string r = t.dir + "/r";
  ec_properties p = lookup.properties(r + "/sub/deep/x.c");
  EXPECT_EQ(p.error, "");
  EXPECT_EQ(p.values, (std::map<std::string, std::string>{{"k", "near"}, {"x", "1"}, {"y", "2"}}));
  p = lookup.properties(r + "/a.c");
  EXPECT_EQ(p.values, (std::map<std::string, std::string>{{"indent_size", "2"}, {"k", "c-top"}, {"x", "1"}}));
  p = lookup.properties(r + "/sub/b.c");
  EXPECT_EQ(p.values, (std::map<std::string, std::string>{{"anchored", "yes"}, {"k", "near"}, {"x", "1"}}));
  p = lookup.properties(r + "/missing/dir/z.txt");  // directories that do not exist are empty
  EXPECT_EQ(p.values, (std::map<std::string, std::string>{{"indent_size", "2"}, {"k", "top"}, {"x", "1"}}));
  t.put("r/bad/.editorconfig", "[*]\noops\n");
  p = lookup.properties(r + "/bad/f.c");
  EXPECT_EQ(p.error, "line 2: neither a section, a pair nor a comment");
  EXPECT_EQ(p.error_file, r + "/bad/.editorconfig");
}

TEST(Lookup, HostileFilesAreRefused) {
  tree t;
  t.put("big/.editorconfig", "root = true\n" + std::string(EC_MAX_FILE, '#'));
  t.put("real/.editorconfig", "root = true\n[*]\nindent_style = tab\n");
  fs::create_directory(t.dir + "/link");
  fs::create_symlink(t.dir + "/real/.editorconfig", t.dir + "/link/.editorconfig");
  fs::create_directory(t.dir + "/fifo");
  ASSERT_EQ(mkfifo((t.dir + "/fifo/.editorconfig").c_str(), 0644), 0);
  ec_lookup lookup;
  EXPECT_EQ(lookup.properties(t.dir + "/big/a.c").error, "larger than 1048576 bytes");
  EXPECT_EQ(lookup.properties(t.dir + "/link/a.c").error, "a symbolic link; not followed");
  EXPECT_EQ(lookup.properties(t.dir + "/fifo/a.c").error, "not a regular file");
}

// What the properties make of a file, and the command line over them.
struct settings_case {
  const char* name;
  std::map<std::string, std::string> props;
  command_line_style cli;
  std::string described;  // empty: left alone
};
void PrintTo(const settings_case& c, std::ostream* os) { *os << c.name; }

class Settings : public testing::TestWithParam<settings_case> {};

TEST_P(Settings, FromProperties) {
  const settings_case& c = GetParam();
  ec_properties p;
  p.values = c.props;
  file_settings s;
  std::string why;
  const bool convert = settings_from(p, c.cli, s, why);
  EXPECT_EQ(convert ? describe(s) : why, c.described);
}

const settings_case settings_cases[] = {
    {"nothing_applies", {{"max_line_length", "80"}, {"end_of_line", "cr"}}, {}, ""},
    {"tabs", {{"indent_style", "tab"}}, {}, "tab 8, indent tabs, eol kept, utf8"},
    {"spaces_of_indent_size",
     {{"indent_style", "Space"}, {"indent_size", "4"}},
     {},
     "tab 4, indent spaces, eol kept, utf8"},
    {"tab_width_wins",
     {{"indent_style", "tab"}, {"indent_size", "2"}, {"tab_width", "8"}},
     {},
     "tab 8, indent tabs, eol kept, utf8"},
    {"indent_size_tab", {{"indent_style", "tab"}, {"indent_size", "tab"}}, {}, "tab 8, indent tabs, eol kept, utf8"},
    {"no_style_keeps_blanks",
     {{"end_of_line", "CRLF"}, {"trim_trailing_whitespace", "true"}},
     {},
     "tab 8, indent kept, eol crlf, trim, utf8"},
    {"final_newline", {{"insert_final_newline", "true"}}, {}, "tab 8, indent kept, eol kept, final newline, utf8"},
    {"no_final_newline",
     {{"insert_final_newline", "FALSE"}},
     {},
     "tab 8, indent kept, eol kept, no final newline, utf8"},
    {"latin1", {{"charset", "latin1"}}, {}, "tab 8, indent kept, eol kept, latin1"},
    {"utf16", {{"charset", "utf-16le"}, {"indent_style", "tab"}}, {}, "skipped: charset utf-16le"},
    {"command_line_wins",
     {{"indent_style", "tab"}, {"end_of_line", "lf"}, {"charset", "latin1"}},
     {.c = true, .t = true, .utf8 = true, .spaces = true, .eol_given = true, .eol = eol_mode::crlf},
     "tab 8, indent spaces, eol crlf, trim, literals kept, utf8"},
};
INSTANTIATE_TEST_SUITE_P(Table, Settings, testing::ValuesIn(settings_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
