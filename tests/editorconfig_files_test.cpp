// --editorconfig on real trees: each file converted by the settings its
// .editorconfig files give it, --show-settings, and hostile .editorconfig
// files reported once, with the files they govern left alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "run_tool.hpp"

namespace fs = std::filesystem;

namespace {

// A scratch tree, and the tool run in it.
struct tree : scratch_dir {
  void put(const std::string& name, const std::string& text) const { (void)write(name, text); }
  tool_result run(const std::vector<std::string>& args) const {
    run_options opt;
    opt.cwd = dir.c_str();
    return run_tool_with(args, opt);
  }
};

// A repository of many kinds of file, and what each becomes.
void fill(const tree& t) {
  t.put(
      ".editorconfig",
      "root = true\n\n[*]\nend_of_line = lf\ninsert_final_newline = true\n\n[Makefile]\nindent_style = tab\n\n"
      "[*.py]\nindent_style = space\nindent_size = 4\n\n[*.{yml,yaml}]\nindent_style = space\nindent_size = 2\n\n"
      "[*.bat]\nend_of_line = crlf\n\n[src/*.c]\nindent_style = tab\ntab_width = 8\ntrim_trailing_whitespace = true\n");
  t.put("src/lib/.editorconfig", "[*.c]\nindent_style = space\ntab_width = 4\n[*.txt]\ninsert_final_newline = false\n");
  t.put("Makefile", "all:\n\techo  hi\n");
  t.put("a.py", "def f():\n\treturn  1\n");
  t.put("c.yml", "a:\n  b: 1\n");
  t.put("run.bat", "echo a\necho b");
  t.put("src/a.c", "        int x;  \n");
  t.put("src/lib/b.c", "\tint y;\t// y\n");
  t.put("src/lib/n.txt", "text\n\n");
  t.put("data.bin", std::string("\tx\0", 3));
  t.put("wide.c", "\xff\xfe\tx\n");
}

const std::string converted_py = "def f():\n    return  1\n";

TEST(EditorConfig, ConvertsEachFileByItsOwnSettings) {
  tree t;
  fill(t);
  t.put("other.unknown", "\t  x  \n");
  t.put("lone_crs.txt", "a\rb\r");
  t.put(".editorconfig", read_file(t.path(".editorconfig")) + "[*.unknown]\nunknown_key = 1\nmax_line_length = 9\n");
  tool_result r = t.run({"--check", "--editorconfig", "."});
  EXPECT_EQ(r.out, "a.py\nlone_crs.txt\nrun.bat\nsrc/a.c\nsrc/lib/b.c\nsrc/lib/n.txt\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 1);
  r = t.run({"-i", "--editorconfig", "."});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(t.path("Makefile")), "all:\n\techo  hi\n") << "a makefile keeps its tabs";
  EXPECT_EQ(read_file(t.path("a.py")), converted_py);
  EXPECT_EQ(read_file(t.path("c.yml")), "a:\n  b: 1\n");
  EXPECT_EQ(read_file(t.path("run.bat")), "echo a\r\necho b\r\n") << "CR LF, and a final one";
  EXPECT_EQ(read_file(t.path("src/a.c")), "\tint x;\n");
  EXPECT_EQ(read_file(t.path("src/lib/b.c")), "    int y;\t// y\n") << "spaces at 4; the tab after text kept";
  EXPECT_EQ(read_file(t.path("src/lib/n.txt")), "text") << "the line ends at the end removed";
  EXPECT_EQ(read_file(t.path("other.unknown")), "\t  x  \n") << "blanks kept: no style applies";
  EXPECT_EQ(read_file(t.path("data.bin")), std::string("\tx\0", 3));
  EXPECT_EQ(read_file(t.path("lone_crs.txt")), "a\rb\n") << "the final newline is end_of_line's, CRs before it too";
  r = t.run({"--check", "--editorconfig", "."});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0) << "a second run finds nothing";
}

TEST(EditorConfig, FilesWithoutSettingsAndTheCommandLine) {
  tree t;
  t.put(".editorconfig",
        "root = true\n[*.py]\nindent_style = space\nindent_size = 4\n[*.txt]\ninsert_final_newline = true\n");
  t.put("a.c", "\t  x  \n");
  t.put("a.py", "def f():\n\treturn  1\n");
  t.put("crlf.txt", "a\r\nb");
  t.put("lf.txt", "a\r\nb\nc\r");
  tool_result r = t.run({"-i", "--editorconfig", "a.c", "a.py", "crlf.txt", "lf.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(t.path("crlf.txt")), "a\r\nb\r\n") << "the line end added is of the file's own kind";
  EXPECT_EQ(read_file(t.path("lf.txt")), "a\r\nb\nc\r\n") << "a lone CR is part of the last line";
  EXPECT_EQ(read_file(t.path("a.c")), "\t  x  \n") << "no section applies: left alone";
  EXPECT_EQ(read_file(t.path("a.py")), converted_py);
  t.put("a.py", "def f():\n\treturn  1  \n");
  r = t.run({"--diff", "--editorconfig", "-t", "--eol=crlf", "a.py"});
  EXPECT_EQ(r.out,
            "--- a/a.py\n+++ b/a.py\n@@ -1,2 +1,2 @@\n-def f():\n-\treturn  1  \n+def f():\r\n+    return  1\r\n");
  EXPECT_EQ(r.status, 1);
}

// How a repository leaves a hand-aligned file alone: a later section unsets
// what the earlier ones gave it, and the command line does not reach it. A
// section with nothing in it unsets nothing.
TEST(EditorConfig, SectionThatUnsetsEverythingLeavesItsFileAlone) {
  tree t;
  t.put(".editorconfig",
        "root = true\n[*]\nindent_style = tab\ntab_width = 4\ntrim_trailing_whitespace = true\n"
        "insert_final_newline = true\ncharset = utf-8\n[empty.txt]\n[art.txt]\nindent_style = unset\n"
        "tab_width = unset\ntrim_trailing_whitespace = unset\ninsert_final_newline = unset\ncharset = unset\n");
  const std::string text = "    a  \n        b";
  t.put("art.txt", text);
  t.put("empty.txt", text);
  tool_result r = t.run({"--editorconfig", "--show-settings", "art.txt", "empty.txt"});
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "art.txt: no settings; left alone");
  EXPECT_NE(r.out.find("\nempty.txt: tab 4, indent tabs, eol kept, trim, final newline"), std::string::npos) << r.out;
  r = t.run({"-i", "-t", "--editorconfig", "."});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(t.path("art.txt")), text);
  EXPECT_EQ(read_file(t.path("empty.txt")), "\ta\n\t\tb\n");
}

TEST(EditorConfig, ShowSettings) {
  tree t;
  fill(t);
  t.put("u16.txt", "x\n");
  t.put(".editorconfig", read_file(t.path(".editorconfig")) + "[u16.txt]\ncharset = utf-16le\n");
  const tool_result r = t.run({"--editorconfig", "--show-settings", "Makefile", "src", "u16.txt"});
  // Each file's settings, then its properties as an EditorConfig core prints them.
  const std::vector<std::pair<std::string, std::string>> files = {
      {"Makefile: tab 8, indent tabs, eol lf, final newline, utf8, lang text",
       "end_of_line=lf\ninsert_final_newline=true\nindent_style=tab\nindent_size=tab\n"},
      {"src/a.c: tab 8, indent tabs, eol lf, trim, final newline, utf8, lang c",
       "end_of_line=lf\ninsert_final_newline=true\nindent_style=tab\ntab_width=8\ntrim_trailing_whitespace=true\n"
       "indent_size=8\n"},
      {"src/lib/.editorconfig: tab 8, indent kept, eol lf, final newline, utf8, lang text",
       "end_of_line=lf\ninsert_final_newline=true\n"},
      {"src/lib/b.c: tab 4, indent spaces, eol lf, final newline, utf8, lang c",
       "end_of_line=lf\ninsert_final_newline=true\nindent_style=space\ntab_width=4\n"},
      {"src/lib/n.txt: tab 8, indent kept, eol lf, no final newline, utf8, lang text",
       "end_of_line=lf\ninsert_final_newline=false\n"},
      {"u16.txt: skipped: charset utf-16le", "end_of_line=lf\ninsert_final_newline=true\ncharset=utf-16le\n"}};
  std::string want;
  for (const auto& [line, properties] : files) want += line + "\n" + properties;
  EXPECT_EQ(r.out, want);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  // The C core prints the same properties, where it is installed.
  if (std::system("command -v editorconfig >/dev/null 2>&1") != 0) return;
  for (const auto& [line, properties] : files) {
    const std::string out = t.path("core.out");
    const std::string command = "editorconfig '" + t.path(line.substr(0, line.find(':'))) + "' > '" + out + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(read_file(out), properties) << line;
  }
}

// Regions left alone in the file modes: counted by --show-settings, kept by
// -i, and nothing for --check where only they differ; a marker inside a
// literal is no marker.
TEST(EditorConfig, RegionsAreCountedAndLeftAlone) {
  tree t;
  t.put(".editorconfig", "root = true\n[*]\nindent_style = tab\ntab_width = 4\ntrim_trailing_whitespace = true\n");
  const std::string regions = "/* morek: off */\n        a  \n/* morek: on */\nx;\n// morek: off\n    b  \n";
  t.put("r.c", regions);
  t.put("s.c", "char *s = \"morek: off\";\n    c;\n");
  t.put("none.c", "x;\n");
  tool_result r = t.run({"--editorconfig", "--show-settings", "none.c", "r.c", "s.c"});
  const std::string line = "tab 4, indent tabs, eol kept, trim, utf8, lang c";
  EXPECT_EQ(r.out, "none.c: " + line + "\nindent_style=tab\ntab_width=4\ntrim_trailing_whitespace=true\nindent_size=4\n"
                   "r.c: " + line + ", regions 2\nindent_style=tab\ntab_width=4\ntrim_trailing_whitespace=true\nindent_size=4\n"
                   "s.c: " + line + "\nindent_style=tab\ntab_width=4\ntrim_trailing_whitespace=true\nindent_size=4\n");
  r = t.run({"--check", "--editorconfig", "r.c"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
  r = t.run({"-i", "--editorconfig", "r.c", "s.c"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(t.path("r.c")), regions);
  EXPECT_EQ(read_file(t.path("s.c")), "char *s = \"morek: off\";\n\tc;\n");
}

// A .editorconfig that is refused: named once with its line, status 2, the
// files it governs untouched, and the rest converted. One that is not read
// (another user's) is named once too, and the files are converted as if it
// were not there.
struct hostile_case {
  const char* name;
  std::string text;
  std::string message;  // after "<dir>/bad/.editorconfig: "
  int status = 2;
  // Makes bad/.editorconfig into what the case needs, after its text is
  // written; false when it cannot here.
  std::function<bool(const std::string&)> prepare = nullptr;
  std::function<bool(const std::string&)> unharmed = nullptr;  // given the tree's path
};
void PrintTo(const hostile_case& c, std::ostream* os) { *os << c.name; }

class HostileEditorConfig : public testing::TestWithParam<hostile_case> {};

std::string braces(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "{a,";
  for (int i = 0; i < n; ++i) s += "}";
  return s;
}

TEST_P(HostileEditorConfig, IsNamedAndItsFilesLeftAlone) {
  const hostile_case& c = GetParam();
  tree t;
  t.put(".editorconfig", "root = true\n[*.py]\nindent_style = space\nindent_size = 4\n");
  t.put("a.py", "def f():\n\treturn  1\n");
  t.put("bad/.editorconfig", c.text);
  t.put("bad/b.py", "def f():\n\treturn  1\n");
  t.put("bad/c.py", "def f():\n\treturn  1\n");
  if (c.prepare && !c.prepare(t.path("bad/.editorconfig"))) GTEST_SKIP() << "cannot be made here";
  const tool_result r = t.run({"-i", "--editorconfig", "."});
  EXPECT_EQ(r.err, fs::canonical(t.dir).string() + "/bad/.editorconfig: " + c.message + "\n");
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(read_file(t.path("a.py")), converted_py);
  const std::string bad_after = c.status == 0 ? converted_py : "def f():\n\treturn  1\n";
  EXPECT_EQ(read_file(t.path("bad/b.py")), bad_after);
  EXPECT_EQ(read_file(t.path("bad/c.py")), bad_after);
  if (c.unharmed) {
    EXPECT_TRUE(c.unharmed(t.dir));
  }
}

const hostile_case hostile_cases[] = {
    {"malformed", "[*]\nindent_style space\n", "line 2: neither a section, a pair nor a comment"},
    {"long_section_name", "[*]\nk = v\n[" + std::string(5000, '*') + "]\n",
     "line 3: section name longer than 4096 bytes"},
    {"long_value", "[*]\nindent_style = " + std::string(5000, 't') + "\n", "line 2: value longer than 4096 bytes"},
    {"thousands_of_braces", "[" + braces(1000) + "]\nk = v\n", "line 1: braces nested too deeply"},
    {"huge", "[*]\n" + std::string(2 << 20, ';') + "\n", "larger than 1048576 bytes"},
    {"another_users_is_not_read", "[*.py]\nindent_style = tab\n", "not read: owned by another user (65534)", 0,
     [](const std::string& p) { return geteuid() == 0 && chown(p.c_str(), 65534, 65534) == 0; }},
    {"fifo_is_never_opened", "", "not a regular file", 2,
     [](const std::string& p) {
       // A writer waits for the FIFO to be opened, and would say so.
       const std::string dir = fs::path(p).parent_path().string();
       return std::remove(p.c_str()) == 0 && mkfifo(p.c_str(), 0644) == 0 &&
              std::system(("(: > '" + p + "'; touch '" + dir + "/opened') >/dev/null 2>&1 &").c_str()) == 0;
     },
     [](const std::string& dir) {
       std::this_thread::sleep_for(std::chrono::milliseconds(200));
       const bool opened = fs::exists(dir + "/bad/opened");
       const int release = open((dir + "/bad/.editorconfig").c_str(), O_RDONLY | O_NONBLOCK);
       if (release >= 0) close(release);
       return !opened;
     }},
};
INSTANTIATE_TEST_SUITE_P(Table, HostileEditorConfig, testing::ValuesIn(hostile_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Blanks that are syntax: a file whose format gives its blanks a meaning,
// converted through a walk by -i, --check and --diff, which agree.
struct syntax_case {
  const char* name;
  std::string editorconfig;  // empty: none
  std::vector<std::string> args;
  std::string file;
  std::string before;
  std::string after;  // what -i leaves
  std::string note;   // on standard error, after "FILE: "
  bool named = false;  // the file is named, not reached through "."
};
void PrintTo(const syntax_case& c, std::ostream* os) { *os << c.name; }

class SyntaxBlanks : public testing::TestWithParam<syntax_case> {};

TEST_P(SyntaxBlanks, KeepTheirMeaning) {
  const syntax_case& c = GetParam();
  tree t;
  if (!c.editorconfig.empty()) t.put(".editorconfig", "root = true\n" + c.editorconfig);
  t.put(c.file, c.before);
  const bool changes = c.after != c.before;
  const std::string err = c.note.empty() ? "" : c.file + ": " + c.note + "\n";
  std::vector<std::string> args = {"--check"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  args.push_back(c.named ? c.file : ".");
  tool_result r = t.run(args);
  EXPECT_EQ(r.out, changes ? c.file + "\n" : "");
  EXPECT_EQ(r.err, err);
  EXPECT_EQ(r.status, changes ? 1 : 0);
  args[0] = "--diff";
  r = t.run(args);
  EXPECT_EQ(r.out.empty(), !changes) << r.out;
  EXPECT_EQ(r.err, err);
  args[0] = "-i";
  r = t.run(args);
  EXPECT_EQ(r.err, err);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(t.path(c.file)), c.after);
}

const std::string spaces_4 = "[*]\nindent_style = space\nindent_size = 4\n";
const std::string tabs_8 = "[*]\nindent_style = tab\ntab_width = 8\n";
const std::string python_rejects = "line 3: Python would reject its indentation; left as it is";

const syntax_case syntax_cases[] = {
    // A tab after the indentation is content.
    {"tab_after_text_stays", spaces_4, {"--editorconfig"}, "a.c", "\tint x;\t// c\n", "    int x;\t// c\n", ""},
    {"tab_after_text_stays_at_one_width", "", {"--indent-only", "--spaces", "4"}, "a.sh",
     "\tcase $c in [\\ \t]) ;; esac\n", "    case $c in [\\ \t]) ;; esac\n", ""},
    {"tab_after_text_moves_with_the_widths", "", {"--indent-only", "8", "4"}, "a.c", "\tx\ty\n", "\t\tx       y\n", ""},
    // Makefiles: no line gains or loses its first tab.
    {"recipe_tab_under_space_style", "[Makefile]\nindent_style = space\nindent_size = 4\n", {"--editorconfig"},
     "Makefile", "all:\n\techo  hi\n\t    echo\n", "all:\n\techo  hi\n\t    echo\n", ""},
    {"conditional_under_tab_style", tabs_8, {"--editorconfig"}, "Makefile.am",
     "        ifndef NO_FINK\nX = 1\n        endif\n", "        ifndef NO_FINK\nX = 1\n        endif\n", ""},
    {"recipe_keeps_its_blanks", "[*]\nindent_style = tab\ntab_width = 4\n", {"--editorconfig"}, "rules",
     "#!/usr/bin/make -f\nall:\n\t    echo\n        ifdef X\n", "#!/usr/bin/make -f\nall:\n\t    echo\n        ifdef X\n", ""},
    {"recipe_at_other_widths", "", {"8", "4"}, "Kbuild", "x:\n\techo  a\n    y = 1\n", "x:\n\techo  a\n    y = 1\n", ""},
    {"values_keep_their_blanks", "", {"8", "4"}, "x.mk", "X = a  b   # c\nY :=\tz\t\ta\n", "X = a  b   # c\nY :=\tz\t\ta\n",
     ""},
    {"indentation_to_spaces_but_bodies_and_continuations_kept", "", {"--indent-only", "--spaces", "4"}, "Makefile",
     "define T\n  \tx  y\nendef\n \tifdef A\nZ = 1 \\\n \t 2\n \tendif\n",
     "define T\n  \tx  y\nendef\n    ifdef A\nZ = 1 \\\n \t 2\n    endif\n", "", true},
    // -t cuts no blank that a recipe or a value holds: an empty recipe keeps
    // its tab, an escaped blank its backslash's meaning, a value its end.
    {"trim_keeps_recipes_and_values", "", {"-t", "--indent-only", "8", "8"}, "Makefile",
     "X = a  b   \nall: \n\t\n\techo a\\ \n\tprintf '%s  '  \n", "X = a  b   \nall:\n\t\n\techo a\\ \n\tprintf '%s  '  \n", ""},
    {"trim_keeps_a_blank_after_a_backslash", "", {"-t", "--indent-only", "8", "8"}, "GNUmakefile",
     "all: a \\ \n\ttrue\n", "all: a \\ \n\ttrue\n", ""},
    {"makefile_by_any_name_left_out_under_spaces", "", {"--spaces", "4"}, "BSDmakefile", "x:\n\techo\n", "x:\n\techo\n",
     ""},
    {"makefile_dot_in_left_out_under_spaces", "", {"--spaces", "4"}, "Makefile.in", "x:\n\techo\n", "x:\n\techo\n", ""},
    // YAML by every name: no tab where it may be written.
    {"citation_file_left_out", "", {"--indent-only", "4", "4"}, "CITATION.cff", "a:\n    b: 1\n", "a:\n    b: 1\n", ""},
    {"clang_format_left_out", "", {"--indent-only", "4", "4"}, ".clang-format", "A:\n    B: 1\n", "A:\n    B: 1\n", ""},
    {"yaml_by_first_line_left_out", "", {"--indent-only", "4", "4"}, "conf", "%YAML 1.2\na:\n    b: 1\n",
     "%YAML 1.2\na:\n    b: 1\n", ""},
    // YAML named keeps its indentation in every style.
    {"yaml_named_by_first_line", "", {"--indent-only", "4", "4"}, "app.conf", "%YAML 1.2\na:\n    b: 1\n",
     "%YAML 1.2\na:\n    b: 1\n", "", true},
    {"clang_format_named", "", {"--indent-only", "4", "4"}, ".clang-format", "A:\n    B: 1\n", "A:\n    B: 1\n", "", true},
    // Settings that are YAML or JSON by the same name: no tab is written in either.
    {"prettierrc_named_under_8_4", "", {"8", "4"}, ".prettierrc", "rules:\n        a:   1\n", "rules:\n        a:   1\n", "",
     true},
    {"eslintrc_in_json_named_under_8_4", "", {"8", "4"}, ".eslintrc", "{\n\t\"a\": {\n\t\t\"b\":   1\n\t}\n}\n",
     "{\n\t\"a\": {\n\t\t\"b\":   1\n\t}\n}\n", "", true},
    {"yaml_named_under_8_4", "", {"8", "4"}, "a.yml", "a:\n        b:   1\n        c:\t1\n",
     "a:\n        b:   1\n        c:      1\n", "", true},
    {"yaml_named_by_bom_and_first_line", "", {"4", "4"}, "conf", "\xEF\xBB\xBF%YAML 1.2\na:\n    b: 1\n",
     "\xEF\xBB\xBF%YAML 1.2\na:\n    b: 1\n", "", true},
    // A file of the C family keeps its literals, as -c keeps them; --lang=text reads it as text.
    {"c_literal_kept", "", {"8", "4"}, "a.c", "\ts = \"a\t\tb  c\";\t// x\n", "\t\ts = \"a\t\tb  c\";\t// x\n", ""},
    {"c_literal_as_text", "", {"--lang=text", "8", "4"}, "a.c", "\ts = \"a\t\tb  c\";\t// x\n",
     "\t\ts = \"a\t\t\tb  c\";\t// x\n", ""},
    {"c_literal_by_lang", "", {"--lang=c", "8", "4"}, "a.txt", "\ts = \"a\t\tb\";\n", "\t\ts = \"a\t\tb\";\n", ""},
    {"text_file_as_before", "", {"8", "4"}, "a.txt", "\ts = \"a\t\tb\";\n", "\t\ts = \"a\t\t\tb\";\n", ""},
    // A line that begins inside a literal (after a backslash-newline) keeps its blanks.
    {"c_continued_literal_under_editorconfig", tabs_8, {"--editorconfig"}, "a.h",
     "        s = \"a\\\n        b\";\n", "\ts = \"a\\\n        b\";\n", ""},
    // Python never gets indentation it would reject.
    {"python_mix_left_alone", tabs_8, {"--editorconfig"}, "a.py", "def f():\n    if x:\n        return 1\n",
     "def f():\n    if x:\n        return 1\n", python_rejects},
    {"python_by_first_line_left_alone", "", {"--indent-only", "8", "8"}, "tool",
     "#!/usr/bin/env python3\nif x:\n    if y:\n        z = 1\n", "#!/usr/bin/env python3\nif x:\n    if y:\n        z = 1\n",
     "line 4: Python would reject its indentation; left as it is"},
    {"python_consistent_converted", "[*.py]\nindent_style = tab\ntab_width = 4\n", {"--editorconfig"}, "a.py",
     "def f():\n    if x:\n        return 1\n", "def f():\n\tif x:\n\t\treturn 1\n", ""},
    // Each file in its language, by its name or its first line; a literal's
    // blanks, trailing ones too, stay under trim_trailing_whitespace.
    {"shell_heredoc_by_first_line", "[*]\nindent_style = space\nindent_size = 2\ntrim_trailing_whitespace = true\n",
     {"--editorconfig"}, "run", "#!/bin/bash\nif x; then\n\tcat <<-EOF  \n\t\tkeep\t \n\tEOF\nfi\n",
     "#!/bin/bash\nif x; then\n  cat <<-EOF\n\t\tkeep\t \n\tEOF\nfi\n", ""},
    {"go_raw_string", "[*.go]\nindent_style = tab\ntab_width = 4\n", {"--editorconfig"}, "a.go",
     "func f() {\n    s := `\n    a:  b\n`\n}\n", "func f() {\n\ts := `\n    a:  b\n`\n}\n", ""},
    {"python_docstring", "", {"--indent-only", "4", "4"}, "a.py", "def f():\n    \"\"\"x\n        y\"\"\"\n",
     "def f():\n\t\"\"\"x\n        y\"\"\"\n", ""},
    {"yaml_block_under_spaces", "", {"--spaces", "2"}, "a.yml", "a: |\n  x\ty\t\nb:\t1\n", "a: |\n  x\ty\t\nb:  1\n",
     ""},
    {"js_by_name_under_lang_text", "", {"--lang=text", "--spaces", "4"}, "a.js", "\tf(`a\tb`);\n", "    f(`a    b`);\n",
     ""},
};
INSTANTIATE_TEST_SUITE_P(Table, SyntaxBlanks, testing::ValuesIn(syntax_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SyntaxBlanks, MakeRunsTheSameCommands) {
  // make -n before and after: the conditional stays a conditional, the
  // recipe a recipe, at tabs of 8 to tabs of 4 and under a space style.
  const std::string makefile =
      "        ifndef NO_FINK\nFLAGS = -a\n        else\nFLAGS = -b\n        endif\n"
      "define BODY\n\t  echo  \"a   b\"  \nendef\n \tV = x  y   \nW = $(V)z\nall: x\n\techo  $(FLAGS)\n"
      "\t    echo   two \\\n\t  \"c    d\"  \n\t$(BODY)\n\t@echo '[$(W)]'\nx:\n\t@echo x\\ \n";
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"-i", "8", "4", "Makefile"},
           {"-i", "--editorconfig", "Makefile"},
           {"-i", "--indent-only", "4", "4", "Makefile"},
           {"-i", "-t", "--spaces", "4", "Makefile"},
           {"-i", "-t", "8", "4", "Makefile"}}) {
    tree t;
    t.put("Makefile", makefile);
    t.put(".editorconfig", "root = true\n[Makefile]\nindent_style = space\nindent_size = 4\n");
    const std::string run_make = "cd '" + t.dir + "' && make -n > '" + t.path("out") + "' 2>&1";
    ASSERT_EQ(std::system(run_make.c_str()), 0);
    const std::string before = read_file(t.path("out"));
    const tool_result r = t.run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::system(run_make.c_str()), 0) << args[1] << "\n" << read_file(t.path("Makefile"));
    EXPECT_EQ(read_file(t.path("out")), before) << testing::PrintToString(args);
  }
}

TEST(EditorConfig, CommandLineErrors) {
  for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--editorconfig", "f"}, "--editorconfig: only with -i, --check, --diff or --show-settings\n"},
           {{"--show-settings", "--check", "8", "4", "f"}, "--show-settings: only with --editorconfig\n"},
           {{"--editorconfig", "--show-settings", "--diff", "f"},
            "--show-settings: converts nothing; not with -i or --diff\n"},
           {{"--check", "--editorconfig"}, "Usage : morek [-ct] [-b<n>] <tab1> <tab2> [<file>]\n"}}) {
    const tool_result r = run_tool(args, "");
    EXPECT_EQ(r.err, message);
    EXPECT_EQ(r.status, 2);
  }
}

}  // namespace
