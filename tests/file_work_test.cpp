// One file's work from its bytes to a verdict, and the lines a selection
// takes from the conversion: tables of inputs and what must come of them.
#include "file_work.hpp"

#include "changes.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace morek;

namespace {

file_settings widths(int tab1, int tab2) {
  file_settings s;
  s.tab1 = tab1;
  s.tab2 = tab2;
  s.utf8_input = 1;
  s.line_ends = eol_mode::keep;
  return s;
}

file_settings indent_spaces(int tab) {
  file_settings s = widths(tab, tab);
  s.spaces_only = 1;
  s.indent_only = 1;
  return s;
}

file_settings indent_tabs(int tab) {
  file_settings s = widths(tab, tab);
  s.indent_only = 1;
  return s;
}

file_settings with_final(file_settings s, final_newline f, eol_mode ends = eol_mode::keep) {
  s.final = f;
  s.line_ends = ends;
  return s;
}

struct work_case {
  const char* name;
  std::string in;
  file_settings settings;
  language lang;
  file_kind kind;
  verdict v;
  std::string out;  // changed: the new text; unproven, binary, failed: the note's start
};
void PrintTo(const work_case& c, std::ostream* os) { *os << c.name; }

class FileWork : public testing::TestWithParam<work_case> {};

TEST_P(FileWork, GivesItsVerdict) {
  const work_case& c = GetParam();
  const file_verdict got = convert_file_text({.bytes = c.in, .settings = c.settings, .lang = c.lang, .kind = c.kind});
  ASSERT_EQ(got.v, c.v) << got.note;
  if (c.v == verdict::changed) {
    EXPECT_EQ(got.text.view(), c.out);
    EXPECT_EQ(got.note, "");
  } else {
    EXPECT_EQ(got.text.size(), 0u);
    EXPECT_EQ(got.note.substr(0, c.out.size()), c.out);
    if (c.v != verdict::same) {
      EXPECT_TRUE(got.note.ends_with("; left as it is")) << got.note;
    }
  }
}

const work_case work_cases[] = {
    {"same_when_converted", "\t\tx\n", widths(4, 4), language::text, file_kind::other, verdict::same, ""},
    {"same_when_empty", "", with_final(widths(8, 4), final_newline::insert), language::text, file_kind::other,
     verdict::same, ""},
    {"changed_by_trailing_blanks_at_the_end", "x\ny  ", widths(8, 8), language::text, file_kind::other,
     verdict::changed, "x\ny"},
    {"line_ends_kept", "\tx\r\n\ty\n\tz\r", widths(8, 4), language::text, file_kind::other, verdict::changed,
     "\t\tx\r\n\t\ty\n\t\tz\r"},
    {"nul_is_binary", std::string("\tx\n\0", 4), widths(8, 4), language::text, file_kind::other, verdict::binary,
     "holds a NUL byte"},
    {"utf16_bom_is_binary", "\xff\xfe\tx\n", widths(8, 4), language::text, file_kind::other, verdict::binary,
     "begins with a UTF-16"},
    {"utf16_big_endian_bom_is_binary", "\xfe\xff\tx\n", widths(8, 4), language::text, file_kind::other,
     verdict::binary, "begins with a UTF-16"},
    {"utf8_bom_is_text", "\xef\xbb\xbf\tx\n", widths(8, 4), language::text, file_kind::other, verdict::changed,
     "\xef\xbb\xbf\t\tx\n"},
    {"literal_kept_in_its_language", "\ts = \"a\t\tb\";\n", widths(8, 4), language::c, file_kind::other,
     verdict::changed, "\t\ts = \"a\t\tb\";\n"},
    {"literal_converted_as_text", "\ts = \"a\t\tb\";\n", widths(8, 4), language::text, file_kind::other,
     verdict::changed, "\t\ts = \"a\t\t\tb\";\n"},
    {"recipe_keeps_its_tab", "all:\n\techo  a\n", indent_spaces(4), language::text, file_kind::makefile,
     verdict::same, ""},
    {"python_mix_unproven", "def f():\n    if x:\n        return 1\n", indent_tabs(8), language::python,
     file_kind::python, verdict::unproven, "line 3: "},
    {"python_consistent_converted", "def f():\n    if x:\n        return 1\n", indent_tabs(4), language::python,
     file_kind::python, verdict::changed, "def f():\n\tif x:\n\t\treturn 1\n"},
    {"yaml_indentation_never_gains_a_tab", "a:\n        b: 1\n", indent_tabs(8), language::yaml, file_kind::yaml,
     verdict::same, ""},
    {"yaml_indentation_kept_as_it_is", "a:\n\tb: 1\n", indent_spaces(2), language::yaml, file_kind::yaml,
     verdict::same, ""},
    {"yaml_blanks_after_a_key_converted", "a:\n  b:       1\n", widths(8, 8), language::yaml, file_kind::yaml,
     verdict::changed, "a:\n  b:\t   1\n"},
    // The line end at the end of the file.
    {"final_inserted_of_the_files_kind", "a\r\nb", with_final(widths(8, 8), final_newline::insert),
     language::text, file_kind::other, verdict::changed, "a\r\nb\r\n"},
    {"final_inserted_lf_without_a_line_end", "a", with_final(widths(8, 8), final_newline::insert), language::text,
     file_kind::other, verdict::changed, "a\n"},
    {"final_inserted_takes_the_crs_before_it", "a\r\r", with_final(widths(8, 8), final_newline::insert, eol_mode::lf),
     language::text, file_kind::other, verdict::changed, "a\n"},
    {"final_inserted_after_a_lone_cr_kept", "a\r", with_final(widths(8, 8), final_newline::insert), language::text,
     file_kind::other, verdict::changed, "a\r\n"},
    {"final_inserted_crlf_asked", "a\nb", with_final(widths(8, 8), final_newline::insert, eol_mode::crlf),
     language::text, file_kind::other, verdict::changed, "a\r\nb\r\n"},
    {"final_kept_where_there", "a\n", with_final(widths(8, 8), final_newline::insert), language::text,
     file_kind::other, verdict::same, ""},
    // A lone CR is a character of its line under keep, and a line end under lf.
    {"final_added_after_a_lone_cr", "\r\n\r", with_final(widths(8, 8), final_newline::insert), language::text,
     file_kind::other, verdict::changed, "\r\n\r\r\n"},
    {"final_lone_cr_is_the_line_end_under_lf", "a\n\r", with_final(widths(8, 8), final_newline::insert, eol_mode::lf),
     language::text, file_kind::other, verdict::changed, "a\n\n"},
    {"final_removed_with_the_empty_lines", "a\r\n\n\r\n", with_final(widths(8, 8), final_newline::remove),
     language::text, file_kind::other, verdict::changed, "a"},
    {"final_removed_not_a_lone_cr", "a\r", with_final(widths(8, 8), final_newline::remove), language::text,
     file_kind::other, verdict::same, ""},
};
INSTANTIATE_TEST_SUITE_P(Table, FileWork, testing::ValuesIn(work_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Inputs too large for a table: a difference after several output buffers,
// and lines wider than a line may be.
TEST(FileWork, LargeInputs) {
  const std::string same(300000, 'x');
  file_verdict got = convert_file_text({.bytes = same + "\n\tx\n", .settings = widths(8, 4)});
  ASSERT_EQ(got.v, verdict::changed);
  EXPECT_TRUE(got.text.view() == same + "\n\t\tx\n");
  got = convert_file_text({.bytes = same + "\n\t\tx\n", .settings = widths(4, 4)});
  EXPECT_EQ(got.v, verdict::same);
  got = convert_file_text({.bytes = same + "\n\t\tx", .settings = with_final(widths(4, 4), final_newline::insert)});
  ASSERT_EQ(got.v, verdict::changed);
  EXPECT_TRUE(got.text.view() == same + "\n\t\tx\n");
  const std::string wide(std::size_t(1) << 21, '\t');
  got = convert_file_text({.bytes = wide + "x\n", .settings = widths(256, 256)});
  EXPECT_EQ(got.v, verdict::failed);
  EXPECT_EQ(got.note, "line 1 is wider than 536870912 columns; left as it is");
  got = convert_file_text({.bytes = "a\n" + wide + "x\n", .settings = widths(256, 256)});
  EXPECT_EQ(got.note, "line 2 is wider than 536870912 columns; left as it is");
}

struct splice_case {
  const char* name;
  std::string original;
  std::string converted;
  line_selection lines;
  std::string out;
};
void PrintTo(const splice_case& c, std::ostream* os) { *os << c.name; }

class Splice : public testing::TestWithParam<splice_case> {};

TEST_P(Splice, TakesTheSelectedLines) {
  const splice_case& c = GetParam();
  byte_buffer out;
  ASSERT_TRUE(splice_lines(c.original, c.converted, c.lines, out));
  EXPECT_EQ(out.view(), c.out);
}

const splice_case splice_cases[] = {
    {"none", "a\nb\nc\n", "A\nB\nC\n", {}, "a\nb\nc\n"},
    {"all", "a\nb\nc\n", "A\nB\nC\n", {{1, 3}}, "A\nB\nC\n"},
    {"first", "a\nb\nc\n", "A\nB\nC\n", {{1, 1}}, "A\nb\nc\n"},
    {"middle", "a\nb\nc\n", "A\nB\nC\n", {{2, 2}}, "a\nB\nc\n"},
    {"last_without_a_line_end", "a\nb", "A\nB", {{2, 2}}, "a\nB"},
    {"two_ranges", "a\nb\nc\nd\ne\n", "A\nB\nC\nD\nE\n", {{1, 1}, {3, 4}}, "A\nb\nC\nD\ne\n"},
    {"ranges_past_the_end", "a\nb\n", "A\nB\n", {{2, 9}, {20, 30}}, "a\nB\n"},
    {"line_ends_go_with_their_lines", "a\r\nb\r\n", "A\nB\n", {{2, 2}}, "a\r\nB\n"},
    {"a_last_line_emptied", "a\n  ", "A\n", {{2, 2}}, "a\n"},
    {"a_last_line_emptied_not_chosen", "a\n  ", "A\n", {{1, 1}}, "A\n  "},
    {"a_line_end_added_to_the_last", "a\nb", "A\nB\n", {{2, 2}}, "a\nB\n"},
    {"a_line_end_added_not_chosen", "a\nb", "A\nB\n", {{1, 1}}, "A\nb"},
    {"empty_lines", "\n\n\n", "\n\n\n", {{2, 2}}, "\n\n\n"},
    {"lone_crs_are_inside_lines", "a\rb\nc\n", "A\rB\nC\n", {{2, 2}}, "a\rb\nC\n"},
    {"empty_original", "", "", {{1, 5}}, ""},
};
INSTANTIATE_TEST_SUITE_P(Table, Splice, testing::ValuesIn(splice_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// The selection passed with a file: the lines not chosen stay as they were,
// literals are still read from the file's start, and the final line end is
// the last line's.
TEST(FileWork, ConvertsOnlyTheSelectedLines) {
  const std::string in = "\ts := `a\n\t  b`\n\tx    = 1\n\ty    = 2";
  file_settings s = with_final(widths(8, 4), final_newline::insert);
  const line_selection second_third = {{2, 3}};
  file_verdict got =
      convert_file_text({.bytes = in, .settings = s, .lang = language::go, .kind = file_kind::other, .lines = &second_third});
  ASSERT_EQ(got.v, verdict::changed);
  EXPECT_EQ(got.text.view(), "\ts := `a\n\t  b`\n\t\tx\t = 1\n\ty    = 2")
      << "line 2 is inside the literal opened on line 1, and the last line is not chosen";
  const line_selection last = {{4, 4}};
  got = convert_file_text({.bytes = in, .settings = s, .lang = language::go, .kind = file_kind::other, .lines = &last});
  ASSERT_EQ(got.v, verdict::changed);
  EXPECT_EQ(got.text.view(), "\ts := `a\n\t  b`\n\tx    = 1\n\t\ty\t = 2\n");
  const line_selection first = {{1, 1}};
  s.tab1 = s.tab2 = 8;
  got = convert_file_text({.bytes = in, .settings = s, .lang = language::go, .kind = file_kind::other, .lines = &first});
  EXPECT_EQ(got.v, verdict::same) << "only line 1 chosen, and it is converted already";
}

// git's patches, read for the lines their new side adds: names as git writes
// them, context that a configuration may add, and what is not a patch.
struct patch_case {
  const char* name;
  std::string patch;
  std::map<std::string, line_selection> lines;  // empty and ok false: refused
  bool ok = true;
};
void PrintTo(const patch_case& c, std::ostream* os) { *os << c.name; }

class AddedLines : public testing::TestWithParam<patch_case> {};

std::vector<std::pair<std::size_t, std::size_t>> pairs(const line_selection& l) {
  std::vector<std::pair<std::size_t, std::size_t>> p;
  for (const line_range& r : l) p.emplace_back(r.first, r.last);
  return p;
}

TEST_P(AddedLines, AreTheNewSidesPlusLines) {
  const patch_case& c = GetParam();
  std::map<std::string, line_selection> got;
  EXPECT_EQ(added_lines(c.patch, got), c.ok);
  if (!c.ok) return;
  EXPECT_EQ(got.size(), c.lines.size());
  for (const auto& [name, lines] : c.lines) {
    ASSERT_EQ(got.count(name), 1u) << name;
    EXPECT_EQ(pairs(got[name]), pairs(lines)) << name;
  }
}

const std::string head = "diff --git a/x.c b/x.c\nindex 1..2 100644\n--- a/x.c\n+++ b/x.c\n";
const patch_case patch_cases[] = {
    {"changed_and_added", head + "@@ -2 +2 @@ a\n-b\n+B\n@@ -3,0 +4,2 @@ c\n+d\n+e\n", {{"x.c", {{2, 2}, {4, 5}}}}},
    {"only_taken_away", head + "@@ -2,2 +1,0 @@\n-b\n-c\n", {{"x.c", {}}}},
    {"new_file", "diff --git a/n.c b/n.c\nnew file mode 100644\n--- /dev/null\n+++ b/n.c\n@@ -0,0 +1,3 @@\n+a\n+b\n+c\n",
     {{"n.c", {{1, 3}}}}},
    {"deleted_file", "diff --git a/d.c b/d.c\ndeleted file mode 100644\n--- a/d.c\n+++ /dev/null\n@@ -1 +0,0 @@\n-a\n", {}},
    {"context_between", head + "@@ -1,4 +1,4 @@\n-a\n+A\n b\n c\n-d\n+D\n", {{"x.c", {{1, 1}, {4, 4}}}}},
    {"a_line_that_looks_like_a_header", head + "@@ -1 +1,2 @@\n-a\n+++ b/y.c\n+@@ -1 +1 @@\n", {{"x.c", {{1, 2}}}}},
    {"no_line_end", head + "@@ -2 +2 @@\n-b\n\\ No newline at end of file\n+B\n\\ No newline at end of file\n",
     {{"x.c", {{2, 2}}}}},
    {"name_with_a_blank", "diff --git a/a b.c b/a b.c\n--- a/a b.c\t\n+++ b/a b.c\t\n@@ -1 +1 @@\n-a\n+A\n",
     {{"a b.c", {{1, 1}}}}},
    {"quoted_name", "diff --git \"a/t\\tq\\\"\\303\\251.c\" \"b/t\\tq\\\"\\303\\251.c\"\n--- \"a/t\\tq\\\"\\303\\251.c\"\n"
                    "+++ \"b/t\\tq\\\"\\303\\251.c\"\n@@ -1 +1 @@\n-a\n+A\n",
     {{"t\tq\"\xc3\xa9.c", {{1, 1}}}}},
    {"binary_and_renamed_add_no_lines",
     "diff --git a/b.bin b/b.bin\nindex 1..2 100644\nBinary files a/b.bin and b/b.bin differ\n"
     "diff --git a/o.c b/m.c\nsimilarity index 100%\nrename from o.c\nrename to m.c\n",
     {}},
    {"renamed_and_changed", "diff --git a/o.c b/m.c\nsimilarity index 80%\nrename from o.c\nrename to m.c\n--- a/o.c\n"
                            "+++ b/m.c\n@@ -7 +7 @@\n-g\n+G\n",
     {{"m.c", {{7, 7}}}}},
    {"a_hunk_cut_short", head + "@@ -1,2 +1,2 @@\n-a\n+A\n", {}, false},
    {"a_hunk_without_a_file", "@@ -1 +1 @@\n-a\n+A\n", {}, false},
    {"a_name_without_b", "--- a/x.c\n+++ x.c\n@@ -1 +1 @@\n-a\n+A\n", {}, false},
    {"a_bad_quote", "+++ \"b/x\\q.c\"\n", {}, false},
};
INSTANTIATE_TEST_SUITE_P(Table, AddedLines, testing::ValuesIn(patch_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
