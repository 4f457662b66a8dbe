// End-to-end runs of the built binary: stdout, stderr and exit status are
// compared byte for byte.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "run_tool.hpp"

namespace {

struct e2e_case {
  const char* name;
  std::vector<std::string> args;
  std::string in;
  std::string out;  // as the lines are meant; every "\n" is expected as CR LF
  std::string err;
  int status;
};

void PrintTo(const e2e_case& c, std::ostream* os) { *os << c.name; }

class E2E : public testing::TestWithParam<e2e_case> {};

TEST_P(E2E, MatchesByteForByte) {
  const e2e_case& c = GetParam();
  const tool_result r = run_tool(c.args, c.in);
  EXPECT_EQ(r.out, crlf(c.out));
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.status, c.status);
}

std::string rep(const std::string& s, std::size_t n) {
  std::string r;
  for (std::size_t i = 0; i < n; ++i) r += s;
  return r;
}

const std::string usage = "Usage : morek [-ct] [-b<n>] <tab1> <tab2> [<file>]\n";
const std::string sjis_a = "\x82\xa0";  // a hiragana letter, two bytes

// Lines of exactly n bytes, newline included.
std::string line_of(std::size_t n) { return rep("x", n - 1) + "\n"; }

const e2e_case command_line_cases[] = {
    {"no_arguments", {}, "", "", usage, 1},
    {"one_positional", {"8"}, "", "", usage, 1},
    {"usage_with_more_arguments", {"-usage", "8", "4"}, "", "", "-usage: invalid option\n", 1},
    {"usage_is_case_sensitive", {"-Usage"}, "", "", "-Usage: invalid option\n", 1},
    {"letter_group_with_b", {"-cb512", "8", "4"}, "", "", "-cb512: invalid option\n", 1},
    {"negative_width_is_an_option", {"-4", "4"}, "", "", "-4: invalid option\n", 1},
    {"bare_dash_is_accepted", {"-", "8", "4"}, "\tx\n", "\t\tx\n", "", 0},
    {"repeated_letters", {"-cc", "-tt", "8", "4"}, "x  \n", "x\n", "", 0},
    {"tab1_zero", {"0", "4"}, "", "", "tab1 length error\n", 1},
    {"tab1_257", {"257", "4"}, "", "", "tab1 length error\n", 1},
    {"tab1_empty", {"", "4"}, "", "", "tab1 length error\n", 1},
    {"tab1_letters", {"x", "4"}, "", "", "tab1 length error\n", 1},
    {"tab1_overflows", {"4294967304", "4"}, "", "", "tab1 length error\n", 1},
    {"tab2_zero", {"8", "0"}, "", "", "tab2 length error\n", 1},
    {"tab2_257", {"8", "257"}, "", "", "tab2 length error\n", 1},
    {"both_widths_bad", {"0", "999"}, "", "", "tab1 length error\n", 1},
    {"trailing_letters_accepted", {"8x", " +4"}, "\tx\n", "\t\tx\n", "", 0},
    {"widths_at_limits", {"256", "1"}, "\tx\n", rep("\t", 256) + "x\n", "", 0},
    {"missing_file", {"8", "4", "/nonexistent/x.c"}, "", "", "/nonexistent/x.c: can't open\n", 1},
    {"directory_is_not_a_file", {"8", "4", "/tmp"}, "", "", "/tmp: can't open\n", 1},
    {"read_error", {"8", "4", "/proc/self/mem"}, "", "", "/proc/self/mem: can't read\n", 1},
    {"empty_input", {"8", "4"}, "", "", "", 0},
    {"b_too_large", {"-b2147483646", "8", "4"}, "", "", "-b2147483646: buffer size out of range\n", 1},
    {"b_overflows", {"-b99999999999", "8", "4"}, "", "", "-b99999999999: buffer size out of range\n", 1},
    {"b_negative_overflow", {"-b-99999999999", "8", "4"}, "", "", "-b-99999999999: buffer size out of range\n", 1},
    {"b_large_works", {"-b100000", "8", "4"}, "\tx\n", "\t\tx\n", "", 0},
    // --format goes with --check only, and fails as the file modes fail.
    {"format_without_check", {"--format=gcc", "8", "4"}, "", "", "--format: only with --check\n", 2},
    {"format_with_in_place", {"-i", "--format=json", "8", "4", "x"}, "", "", "--format: only with --check\n", 2},
    {"format_with_diff", {"--diff", "--format=sarif", "8", "4", "x"}, "", "", "--format: only with --check\n", 2},
    {"format_with_stdin_filename", {"--check", "--format=gcc", "--stdin-filename=a.c", "8", "4"}, "\tx\n", "",
     "--format: not with --stdin-filename\n", 2},
    {"changed_with_stdin_filename", {"--check", "--changed", "--stdin-filename=a.c", "8", "4"}, "\tx\n", "",
     "--changed: only with -i, --check or --diff\n", 2},
    {"format_with_show_settings", {"--check", "--show-settings", "--editorconfig", "--format=gcc", "x"}, "", "",
     "--format: not with --show-settings\n", 2},
    {"format_unknown", {"--check", "--format=xml", "8", "4", "x"}, "", "",
     "--format=xml: unknown format (names, gcc, github, json, sarif, checkstyle)\n", 2},
    {"format_empty", {"--check", "--format=", "8", "4", "x"}, "", "", "--format=: invalid option\n", 2},
};
INSTANTIATE_TEST_SUITE_P(CommandLine, E2E, testing::ValuesIn(command_line_cases),
                         [](const auto& info) { return std::string(info.param.name); });

const e2e_case line_cases[] = {
    {"line_of_510_converts", {"8", "4"}, line_of(510), line_of(510), "", 0},
    {"line_of_511_stops_after_earlier_lines",
     {"8", "4"},
     "a  b\n" + line_of(511) + "c\n",
     "a  b\n",
     line_of(511).substr(0, 510) + "\n \nError: too long line found!\n",
     1},
    {"crs_do_not_count_toward_the_limit", {"8", "4"}, rep("x", 509) + "\r\r\n", rep("x", 509) + "\n", "", 0},
    {"b256_splits_into_pieces",
     {"-b256", "8", "4"},
     rep("y", 599) + "\n",
     rep("y", 255) + rep("y", 255) + rep("y", 89) + "\n",
     "",
     0},
    {"b100_is_256", {"-b100", "8", "4"}, rep("y", 250) + "    \tb  c\n", rep("y", 250) + "b  c\n", "", 0},
    {"b_letters_is_256", {"-bxyz", "8", "4"}, rep("y", 250) + "    \tb  c\n", rep("y", 250) + "b  c\n", "", 0},
    {"b511_reads_510", {"-b511", "8", "4"}, line_of(600), line_of(600), "", 0},
    {"b1000_reads_whole_lines",
     {"-b1000", "8", "4"},
     line_of(600),
     "",
     line_of(600) + " \nError: too long line found!\n",
     1},
    {"trim", {"-t", "8", "4"}, "abc \t \n   \nabc  ", "abc\n\nabc", "", 0},
    {"trim_keeps_blanks_before_text", {"-t", "8", "4"}, "  \tx \n", "\t\tx\n", "", 0},
    {"no_trailing_newline_added", {"8", "4"}, "x   ", "x", "", 0},
    {"blank_only_line", {"8", "4"}, "    \n", "\n", "", 0},
    {"cr_removed_everywhere", {"8", "4"}, "a\r  \rb\r\n\r", "a  b\n", "", 0},
    {"ctrl_z_ends_input", {"8", "4"}, "a\n\tb\x1a\tc\nd\n", "a\n\t\tb", "", 0},
    {"only_crs", {"8", "4"}, "\r\r\r", "", "", 0},
    {"nul_is_an_ordinary_byte", {"8", "4"}, std::string("a\0    b\nc\n", 10), std::string("a\0\t  b\nc\n", 9), "", 0},
    {"lead_byte_then_nul_is_one_byte",
     {"8", "4"},
     std::string("\x82\0\tb\n", 5),
     std::string("\x82\0\t\tb\n", 6),
     "",
     0},
};
INSTANTIATE_TEST_SUITE_P(Lines, E2E, testing::ValuesIn(line_cases),
                         [](const auto& info) { return std::string(info.param.name); });

const e2e_case conversion_cases[] = {
    {"tab8_to_4", {"8", "4"}, "\tx\n", "\t\tx\n", "", 0},
    {"tab4_to_8", {"4", "8"}, "\t\tx\n", "\tx\n", "", 0},
    {"eight_spaces_to_tab", {"8", "8"}, "        x\n  x\n", "\tx\n  x\n", "", 0},
    {"runs_at_tab2_4", {"8", "4"}, "ab  c\nabc  x\na b\nabc d\n", "ab\tc\nabc\t x\na b\nabc d\n", "", 0},
    {"run_of_six", {"8", "4"}, "a      b\n", "a\t   b\n", "", 0},
    {"trailing_spaces_dropped", {"8", "4"}, "x   \n", "x\n", "", 0},
    {"literal_protected", {"-c", "8", "4"}, "s = \"a    b\";\n", "s = \"a    b\";\n", "", 0},
    {"literal_not_protected_without_c", {"8", "4"}, "s = \"a    b\";\n", "s = \"a\t  b\";\n", "", 0},
    {"protected_tab_kept", {"-c", "8", "4"}, "x=\"\t\";\n", "x=\"\t\";\n", "", 0},
    {"tab_to_one_column", {"8", "8"}, "abcdefg\tx\n", "abcdefg x\n", "", 0},
    {"spaces_before_tab", {"8", "8"}, "  \tx\n\t  x\n", "\tx\n\t  x\n", "", 0},
    {"open_literal_keeps_blank_line", {"-c", "8", "4"}, "\"open\n \t \n", "\"open\n \t \n", "", 0},
    {"protected_tab_on_each_grid_8_4", {"-c", "8", "4"}, "\"a\tb\"\tc\n", "\"a\tb\"\t\tc\n", "", 0},
    {"protected_tab_on_each_grid_4_8", {"-c", "4", "8"}, "\"a\tb\"\tc\n", "\"a\tb\"  c\n", "", 0},
    {"apostrophe_opens_literal",
     {"-c", "8", "4"},
     "don't    stop\nnext    line\n'    end\n",
     "don't    stop\nnext    line\n'\t end\n",
     "",
     0},
    {"comment_close_starts_line_comment",
     {"-c", "8", "4"},
     "/* c *//\"a    b\"\n\"c    d\"\n",
     "/* c *//\"a\t  b\"\n\"c    d\"\n",
     "",
     0},
    {"quote_in_block_comment", {"-c", "8", "4"}, "/* it's\nx = \"a  b\"; */\n", "/* it's\nx = \"a\tb\"; */\n", "", 0},
    {"double_byte_keeps_columns", {"8", "4"}, sjis_a + "  x\n", sjis_a + "\tx\n", "", 0},
    {"lead_byte_before_newline", {"8", "4"}, "a \x82\n", "a \x82\n", "", 0},
    {"lead_byte_pairs_with_tab", {"8", "4"}, "\x82\t  x\n", "\x82\t\tx\n", "", 0},
    // A lead byte takes the tab after it, which is copied as it is; any other
    // byte counts one column and the tab is converted.
    {"lead_0x80", {"8", "4"}, "\x80\t  x\n", "\x80\t\tx\n", "", 0},
    {"lead_0x9f", {"8", "4"}, "\x9f\t  x\n", "\x9f\t\tx\n", "", 0},
    {"lead_0xe0", {"8", "4"}, "\xe0\t  x\n", "\xe0\t\tx\n", "", 0},
    {"lead_0xfc", {"8", "4"}, "\xfc\t  x\n", "\xfc\t\tx\n", "", 0},
    {"single_0xa0", {"8", "4"}, "\xa0\t  x\n", "\xa0\t\t  x\n", "", 0},
    {"single_0xdf", {"8", "4"}, "\xdf\t  x\n", "\xdf\t\t  x\n", "", 0},
    {"single_0xfd", {"8", "4"}, "\xfd\t  x\n", "\xfd\t\t  x\n", "", 0},
    // "//" inside a block comment is part of it: the "*/" after it closes the
    // comment, and the literals after that are protected.
    {"line_comment_mark_inside_block_comment",
     {"-c", "8", "4"},
     "/* a // b */ s = \"x    y\";\nt = \"a    b\";\n",
     "/* a // b */ s = \"x    y\";\nt = \"a    b\";\n",
     "",
     0},
};
INSTANTIATE_TEST_SUITE_P(Conversion, E2E, testing::ValuesIn(conversion_cases),
                         [](const auto& info) { return std::string(info.param.name); });

class LongOptions : public testing::TestWithParam<exact_case> {};

TEST_P(LongOptions, MatchesByteForByte) { expect_run(GetParam()); }

const exact_case long_option_cases[] = {
    {"version", {"--version"}, "", "morek 1.10\n", "", 0},
    {"version_wins_over_a_bad_option", {"-x", "--version", "8", "4"}, "", "morek 1.10\n", "", 0},
    {"first_of_help_and_version_wins", {"--version", "--help"}, "", "morek 1.10\n", "", 0},
    {"help_after_the_widths_is_a_file", {"8", "4", "--help"}, "", "", "--help: can't open\n", 1},
    {"unknown_long_option", {"--utf", "8", "4"}, "", "", "--utf: invalid option\n", 1},
    {"eol_without_value", {"--eol", "8", "4"}, "", "", "--eol: invalid option\n", 1},
    {"eol_bad_value", {"--eol=cr", "8", "4"}, "", "", "--eol=cr: invalid option\n", 1},
    {"double_dash_ends_the_options", {"-c", "--", "8", "4"}, "\tx\n", "\t\tx\r\n", "", 0},
    {"after_double_dash_a_dash_is_a_name", {"--", "-x", "8", "4"}, "", "", "tab1 length error\n", 1},
    {"long_options_are_case_sensitive", {"--UTF8", "8", "4"}, "", "", "--UTF8: invalid option\n", 1},
    {"in_place_needs_a_file", {"-i", "8", "4"}, "", "", usage, 2},
    {"check_needs_a_file", {"--check", "8", "4"}, "", "", usage, 2},
    {"in_place_bad_width_is_2", {"--in-place", "0", "4", "f"}, "", "", "tab1 length error\n", 2},
    {"in_place_bad_letter_is_2", {"-x", "-ci", "8", "4", "f"}, "", "", "-x: invalid option\n", 2},
    {"in_place_and_check", {"-i", "--check", "8", "4", "f"}, "", "", "-i and --check: use one of them\n", 2},
    {"diff_and_check", {"--diff", "--check", "8", "4", "f"}, "", "", "--diff and -i or --check: use one of them\n", 2},
    {"diff_and_in_place", {"-i", "--diff", "8", "4", "f"}, "", "", "--diff and -i or --check: use one of them\n", 2},
    {"diff_needs_a_file", {"--diff", "8", "4"}, "", "", usage, 2},
    {"diff_bad_width_is_2", {"--diff", "8", "0", "f"}, "", "", "tab2 length error\n", 2},
    {"color_bad_value",
     {"--diff", "--color=sometimes", "8", "4", "f"},
     "",
     "",
     "--color=sometimes: invalid option\n",
     2},
    {"lang_c_is_dash_c", {"--lang=c", "8", "4"}, "\ts = \"a\t\tb\";\n", "\t\ts = \"a\t\tb\";\r\n", "", 0},
    {"lang_text_and_auto_read_text", {"--lang=text", "--lang=auto", "8", "4"}, "\ts = \"a\t\tb\";\n",
     "\t\ts = \"a\t\t\tb\";\r\n", "", 0},
    {"lang_unknown", {"--lang=cobol", "8", "4"}, "", "", "--lang=cobol: unknown language (c, java, kotlin, csharp, swift, dart, js, ts, go, rust, php, python, shell, ruby, perl, yaml, json, toml, text or auto)\n", 1},
    {"sjis_is_the_filters_default", {"--sjis", "8", "4"}, "\x87 \tx\n", "\x87\t\tx\r\n", "", 0},
    {"sjis_and_utf8", {"--sjis", "--utf8", "8", "4"}, "", "", "--sjis and --utf8: use one of them\n", 1},
    {"sjis_and_latin1", {"--check", "--latin1", "--sjis", "8", "4", "f"}, "", "",
     "--sjis and --latin1: use one of them\n", 2},
    {"include_needs_a_value", {"--check", "--include", "8", "4", "f"}, "", "", "--include: invalid option\n", 2},
    // -j N, -jN, --jobs=N, and j last in a group; the filter takes it and has one job.
    {"jobs_zero", {"--check", "-j0", "8", "4", "f"}, "", "", "-j0: not a number of jobs from 1 to 1024\n", 2},
    {"jobs_apart_not_a_number", {"-i", "-j", "x", "8", "4", "f"}, "", "",
     "-j x: not a number of jobs from 1 to 1024\n", 2},
    {"jobs_too_many", {"--diff", "--jobs=1025", "8", "4", "f"}, "", "",
     "--jobs=1025: not a number of jobs from 1 to 1024\n", 2},
    {"jobs_with_a_sign", {"--check", "--jobs=+2", "8", "4", "f"}, "", "",
     "--jobs=+2: not a number of jobs from 1 to 1024\n", 2},
    {"jobs_empty", {"--check", "--jobs=", "8", "4", "f"}, "", "", "--jobs=: invalid option\n", 2},
    {"jobs_trailing_letters", {"-ij2x", "8", "4", "f"}, "", "", "-ij2x: not a number of jobs from 1 to 1024\n", 2},
    {"jobs_missing", {"--check", "-j"}, "", "", "-j: the number of jobs is missing\n", 2},
    {"jobs_in_the_filter", {"-j", "3", "8", "4"}, "\tx\n", "\t\tx\r\n", "", 0},
    {"jobs_last_in_a_group", {"-tj", "2", "8", "4"}, "\tx  \n", "\t\tx\r\n", "", 0},
    {"jobs_in_a_group", {"-tj2", "--jobs=1024", "8", "4"}, "\tx  \n", "\t\tx\r\n", "", 0},
    {"jobs_bad_in_the_filter_is_1", {"--jobs=0", "8", "4"}, "", "", "--jobs=0: not a number of jobs from 1 to 1024\n", 1},
    // In a language, the filter writes what it proves, else its input as it came.
    {"lang_proven_conversion_written", {"--lang=python", "8", "4"}, "if x:\n\ty = 1\n", "if x:\r\n\t\ty = 1\r\n", "", 0},
    {"lang_literal_over_lines_in_the_text_layer", {"--lang=python", "8", "4"}, "if x:\r\n\ts = '''a\n\t  b'''\n",
     "if x:\r\n\t\ts = '''a\r\n\t  b'''\r\n", "", 0},
    {"lang_unproven_input_written_as_it_came", {"--lang=python", "8", "8"},
     "if x:\r\n    if y:\r\n        z = 1\r\n\x1a\tend", "if x:\r\n    if y:\r\n        z = 1\r\n\x1a\tend",
     "stdin: line 3: Python would reject its indentation; left as it is\n", 0},
    {"lang_unproven_byte_for_byte", {"--lang=python", "--eol=lf", "8", "8"}, "if x:\r\n    if y:\n        z  = 1  \n",
     "if x:\r\n    if y:\n        z  = 1  \n", "stdin: line 3: Python would reject its indentation; left as it is\n", 0},
    {"lang_line_too_long_after_proven_lines", {"--lang=c", "8", "4"}, "\tx;\n" + std::string(510, 'y') + "\nz\n",
     "\t\tx;\r\n", std::string(510, 'y') + "\n \nError: too long line found!\n", 1},
    // A buffer named as a file: as -i would convert that file, to standard output.
    {"stdin_filename_converts_as_the_file", {"--stdin-filename=x.c", "8", "4"}, "\ts = \"a\t\tb\";  \r\n",
     "\t\ts = \"a\t\tb\";\r\n", "", 0},
    {"stdin_filename_no_line_limit", {"--stdin-filename=x.txt", "8", "4"}, "\t" + std::string(600, 'y') + "\x1a\n",
     "\t\t" + std::string(600, 'y') + "\x1a\n", "", 0},
    {"stdin_filename_spaces", {"--stdin-filename=a/b/x.go", "--spaces", "2"}, "\tx\n", "  x\n", "", 0},
    {"stdin_filename_check_changes", {"--check", "--stdin-filename=x.c", "8", "4"}, "\tx\n", "", "", 1},
    {"stdin_filename_check_same", {"--check", "--stdin-filename=x.c", "4", "4"}, "\t\tx\n", "", "", 0},
    {"stdin_filename_diff", {"--diff", "--stdin-filename=x.c", "8", "4"}, "\tx\n",
     "--- a/x.c\n+++ b/x.c\n@@ -1 +1 @@\n-\tx\n+\t\tx\n", "", 1},
    {"stdin_filename_unproven_as_it_came", {"--stdin-filename=p.py", "8", "8"}, "if x:\n    if y:\n        z = 1\n",
     "if x:\n    if y:\n        z = 1\n", "p.py: line 3: Python would reject its indentation; left as it is\n", 0},
    {"stdin_filename_binary_as_it_came", {"--stdin-filename=b.c", "8", "4"}, std::string("\tx\0", 3),
     std::string("\tx\0", 3), "b.c: holds a NUL byte; left as it is\n", 2},
    {"stdin_filename_region_kept", {"--stdin-filename=r.c", "8", "4"}, "\tx\n// morek: off\n\ty\n// morek: on\n\tz\n",
     "\t\tx\n// morek: off\n\ty\n// morek: on\n\t\tz\n", "", 0},
    {"stdin_filename_and_in_place", {"-i", "--stdin-filename=x.c", "8", "4"}, "", "",
     "--stdin-filename: writes to standard output; not with -i\n", 2},
    {"stdin_filename_with_a_file", {"--stdin-filename=x.c", "8", "4", "x.c"}, "", "",
     "--stdin-filename: reads standard input; no file operand\n", 2},
    {"stdin_filename_show_settings", {"--show-settings", "--editorconfig", "--stdin-filename=x.c"}, "", "",
     "--stdin-filename: not with --show-settings\n", 2},
    {"stdin_filename_empty", {"--stdin-filename=", "8", "4"}, "", "", "--stdin-filename=: the name of the file is missing\n",
     2},
    {"stdin_filename_without_a_value", {"--stdin-filename", "8", "4"}, "", "", "--stdin-filename: invalid option\n", 1},
    {"stdin_filename_needs_the_widths", {"--stdin-filename=x.c", "8"}, "", "", usage, 2},
    // The filter has no regions.
    {"filter_has_no_regions", {"8", "4"}, "# morek: off\n\tx\n", "# morek: off\r\n\t\tx\r\n", "", 0},
};
INSTANTIATE_TEST_SUITE_P(Table, LongOptions, testing::ValuesIn(long_option_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Help, EnglishHelpNamesEveryOption) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"-usage", "--help"}, {"-c", "--help", "0", "0"}, {"--help", "--version"}}) {
    const tool_result r = run_tool(args, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Usage: morek [options] <tab1> <tab2> [<file>]\n", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    for (const char* opt : {"\n  -c ",
                            "\n  -t ",
                            "\n  -b<n> ",
                            "\n  -i, --in-place ",
                            "\n  --check ",
                            "\n  --diff ",
                            "\n  -j N, --jobs=N ",
                            "\n  --color=WHEN ",
                            "\n  --include=GLOB ",
                            "\n  --exclude=GLOB ",
                            "\n  --exclude-dir=GLOB ",
                            "\n  --editorconfig ",
                            "\n  --show-settings ",
                            "\n  --utf8 ",
                            "\n  --latin1 ",
                            "\n  --sjis ",
                            "\n  --all-files ",
                            "\n  --lang=NAME ",
                            "\n  -- ",
                            "\n  --spaces ",
                            "\n  --indent-only ",
                            "\n  --eol=crlf ",
                            "\n  --eol=lf ",
                            "\n  --eol=keep ",
                            "\n  --help ",
                            "\n  --version ",
                            "\n  -usage "})
      EXPECT_NE(r.out.find(opt), std::string::npos) << opt;
  }
}

std::string to_cp932(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string in = utf8, out(utf8.size() * 2, '\0');
  char* ip = in.data();
  char* op = out.data();
  std::size_t il = in.size(), ol = out.size();
  const std::size_t rc = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  EXPECT_NE(rc, static_cast<std::size_t>(-1));
  out.resize(out.size() - ol);
  return out;
}

TEST(Help, WritesTheTableAsShiftJisWithStatus1) {
  const tool_result r = run_tool({"-usage"}, "");
  const std::string expected = to_cp932(read_file(MOREK_TEST_DATA "/help.utf8.txt"));
  EXPECT_EQ(r.out, crlf(expected));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 1);
  // The line with the ideographic space, and the full-width c.
  EXPECT_NE(r.out.find("\r\n         \x81\x40"), std::string::npos);
  EXPECT_NE(r.out.find("   -c      \x82\x83"), std::string::npos);
}

TEST(Faults, WriteErrorIsReported) {
  const tool_result r = run_tool({"8", "4"}, "a\n", nullptr, "/dev/full");
  EXPECT_EQ(r.err, "stdout: can't write\n");
  EXPECT_EQ(r.status, 1);
}

TEST(Faults, HelpOnFullDiskIsReported) {
  const tool_result r = run_tool({"-usage"}, "", nullptr, "/dev/full");
  EXPECT_EQ(r.err, "stdout: can't write\n");
  EXPECT_EQ(r.status, 1);
}

TEST(Faults, ReadErrorOnStdinIsReported) {
  const tool_result r = run_tool({"8", "4"}, "", "/tmp");
  EXPECT_EQ(r.err, "stdin: can't read\n");
  EXPECT_EQ(r.status, 1);
}

TEST(Faults, LongLineMessageIsShortenedButEndsWhole) {
  // The default buffer reads 4095 bytes; the message quotes as much of it as fits 1023 bytes.
  const tool_result r = run_tool({"8", "4"}, rep("z", 3000) + "\n");
  const std::string tail = " \nError: too long line found!\n";
  EXPECT_EQ(r.err, rep("z", 1023 - tail.size()) + tail);
  EXPECT_EQ(r.status, 1);
}

TEST(Faults, LongLineMessageDoesNotSplitDoubleByteCharacters) {
  std::string line = "z";
  line += rep(sjis_a, 1000) + "\n";
  const tool_result r = run_tool({"8", "4"}, line);
  // 993 bytes of room: the z and 496 whole characters.
  std::string expected = "z";
  expected += rep(sjis_a, 496) + " \nError: too long line found!\n";
  EXPECT_EQ(r.err, expected);
}

TEST(Files, FourthPositionalIsIgnored) {
  temp_file f("a   b\n");
  const tool_result r = run_tool({"8", "4", f.path, "ignored"}, "not this\n");
  EXPECT_EQ(r.out, crlf("a\tb\n"));
  EXPECT_EQ(r.status, 0);
}

TEST(Files, WideExpansionFitsBuffers) {
  // 500 tabs at width 256 expand to 128000 columns, far past the 4098-byte buffers.
  const tool_result r = run_tool({"256", "256"}, rep("\t", 500) + "x\n");
  EXPECT_EQ(r.out, crlf(rep("\t", 500) + "x\n"));
  EXPECT_EQ(r.status, 0);
}

}  // namespace
