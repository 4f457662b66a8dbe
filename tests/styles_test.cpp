// End-to-end runs of --spaces, --indent-only and --latin1: the examples the
// options are defined by, indentation of every make, the edges of what counts
// as indentation, and the option errors. Line ends are LF (--eol=lf), or kept
// under -i and --check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_tool.hpp"

namespace {

class Styles : public testing::TestWithParam<exact_case> {};

TEST_P(Styles, MatchesByteForByte) { expect_run(GetParam()); }

const std::string usage = "Usage : morek [-ct] [-b<n>] <tab1> <tab2> [<file>]\n";

std::vector<std::string> with_lf(std::vector<std::string> args) {
  args.insert(args.begin(), "--eol=lf");
  return args;
}

// → a tab, · a space, in the names.
const exact_case style_cases[] = {
    // The examples.
    {"spaces", with_lf({"--spaces", "8"}), "\tint\tx;  // c\n", "        int     x;  // c\n", "", 0},
    {"indent_only_8_4", with_lf({"--indent-only", "8", "4"}), "\tint\tx;  // c\n", "\t\tint     x;  // c\n", "", 0},
    {"indent_only_8_8_keeps_the_line", with_lf({"--indent-only", "8", "8"}), "\tint\tx;  // c\n", "\tint\tx;  // c\n",
     "", 0},
    {"indent_only_spaces_to_tabs", with_lf({"--indent-only", "4", "4"}), "        if (a)  b;\n", "\t\tif (a)  b;\n", "",
     0},
    {"spaces_keep_a_literal_tab", with_lf({"-c", "--spaces", "4"}), "\t\ts = \"a\tb\";\n", "        s = \"a\tb\";\n",
     "", 0},
    // Indentation all tabs, all spaces, mixed.
    {"indent_all_tabs", with_lf({"--indent-only", "4", "2"}), "\t\tx\t y\n", "\t\t\t\tx    y\n", "", 0},
    {"indent_all_spaces_to_spaces", with_lf({"--indent-only", "--spaces", "4"}), "      x  y\n", "      x  y\n", "", 0},
    // A tab after the indentation is content: one width, so it stays.
    {"indent_tabs_to_spaces", with_lf({"--indent-only", "--spaces", "4"}), "\t  x\ty\n", "      x\ty\n", "", 0},
    {"indent_mixed", with_lf({"--indent-only", "8", "4"}), " \t  x\n", "\t\t  x\n", "", 0},
    // A tab after the indentation: kept where the widths agree, else the
    // spaces to the column it reached.
    {"tab_after_text_equal_widths", with_lf({"--indent-only", "4", "4"}), "    x\t= 1;\n", "\tx\t= 1;\n", "", 0},
    {"tab_after_text_one_width", with_lf({"--indent-only", "--spaces", "8"}), "\tx\t= 1;\n", "        x\t= 1;\n", "",
     0},
    {"tab_after_text_other_widths", with_lf({"--indent-only", "4", "8"}), "\tx\t= 1;\n", "    x   = 1;\n", "", 0},
    {"indent_single_space_stays", with_lf({"--indent-only", "8", "8"}), " x\n", " x\n", "", 0},
    // What is not indentation.
    {"tab_after_the_first_character", with_lf({"--indent-only", "8", "4"}), "x\ty\n", "x       y\n", "", 0},
    {"tab_after_the_first_character_same_width", with_lf({"--indent-only", "8", "8"}), "x\ty\n", "x\ty\n", "", 0},
    {"blank_line_is_all_rest", with_lf({"--indent-only", "8", "4"}), " \t \n", "         \n", "", 0},
    {"blank_line_same_width", with_lf({"--indent-only", "8", "8"}), " \t \n\t\n", " \t \n\t\n", "", 0},
    {"blank_line_trimmed", with_lf({"-t", "--indent-only", "8", "4"}), " \t \n\tx \t\n", "\n\t\tx\n", "", 0},
    {"trailing_blanks_kept", with_lf({"--indent-only", "8", "8"}), "\tx  \t\n", "\tx  \t\n", "", 0},
    {"line_begins_inside_a_literal", with_lf({"-c", "--indent-only", "8", "4"}), "s = \"abc\n\t  b\";\n\ty;\n",
     "s = \"abc\n\t  b\";\n\t\ty;\n", "", 0},
    {"same_line_without_c", with_lf({"--indent-only", "8", "4"}), "s = \"abc\n\t  b\";\n", "s = \"abc\n\t\t  b\";\n",
     "", 0},
    {"pieces_only_the_first_indents", with_lf({"-b256", "--indent-only", "8", "4"}),
     "\t" + std::string(254, 'y') + "\t\tz\n", "\t\t" + std::string(254, 'y') + std::string(16, ' ') + "z\n", "", 0},
    {"spaces_drop_trailing_blanks", with_lf({"--spaces", "4"}), "\tx \t\n", "    x\n", "", 0},
    {"spaces_text_layer", {"--spaces", "8"}, "\tx\r\n", "        x\r\n", "", 0},
    // Latin-1: 0xE9 is é, one column, and takes nothing after it.
    {"latin1_before_a_tab", with_lf({"--latin1", "8", "4"}), "\xe9\t  x\n", "\xe9\t\t  x\n", "", 0},
    {"latin1_before_a_quote", with_lf({"-c", "--latin1", "8", "4"}), "\xe9\"a    b\"    x\n", "\xe9\"a    b\"\t x\n",
     "", 0},
    {"shift_jis_pairs_the_quote", with_lf({"-c", "8", "4"}), "\xe9\"a    b\"    x\n", "\xe9\"a\t   b\"    x\n", "", 0},
    {"latin1_with_spaces", with_lf({"--latin1", "--spaces", "4"}), "\xe9\tx\n", "\xe9   x\n", "", 0},
    // Errors.
    {"latin1_and_utf8", {"--latin1", "--utf8", "8", "4"}, "", "", "--utf8 and --latin1: use one of them\n", 1},
    {"latin1_and_utf8_in_place",
     {"-i", "--utf8", "--latin1", "8", "4", "f"},
     "",
     "",
     "--utf8 and --latin1: use one of them\n",
     2},
    {"spaces_without_width", {"--spaces"}, "", "", usage, 1},
    {"spaces_in_place_without_file", {"-i", "--spaces", "8"}, "", "", usage, 2},
    {"spaces_bad_width", {"--spaces", "0"}, "", "", "tab1 length error\n", 1},
    {"indent_only_needs_two_widths", {"--indent-only", "8"}, "", "", usage, 1},
    {"style_options_are_exact", {"--space", "8"}, "", "", "--space: invalid option\n", 1},
};
INSTANTIATE_TEST_SUITE_P(Table, Styles, testing::ValuesIn(style_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// The styles in place and as a check: a tree that keeps its own convention
// passes, and one that does not is named and fixed.
TEST(StylesOnFiles, CheckAndConvertByConvention) {
  temp_file tabs_aligned("\tint x;  /* c */\n\tif (a)\t\tb;\n");
  temp_file spaces_py("def f():\n    return  1\n");
  temp_file mixed("\tx = 1\n    y = 2\n");
  tool_result r = run_tool({"--check", "--indent-only", "8", "8", tabs_aligned.path}, "");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
  r = run_tool({"--check", "--indent-only", "--spaces", "4", spaces_py.path, mixed.path}, "");
  EXPECT_EQ(r.out, mixed.path + "\n");
  EXPECT_EQ(r.status, 1);
  r = run_tool({"-i", "--indent-only", "--spaces", "4", spaces_py.path, mixed.path}, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(mixed.path), "    x = 1\n    y = 2\n");
  EXPECT_EQ(read_file(spaces_py.path), "def f():\n    return  1\n");
  r = run_tool({"-i", "--spaces", "8", tabs_aligned.path}, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(tabs_aligned.path), "        int x;  /* c */\n        if (a)          b;\n");
}

}  // namespace
