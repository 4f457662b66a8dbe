// UTF-8 input: what one character is and how wide it shows, and whole runs
// of the tool under --utf8.
#include "utf8.hpp"

#include <gtest/gtest.h>

#include <string>

#include "run_tool.hpp"

namespace {

struct char_case {
  const char* name;
  std::string bytes;  // the character first; what follows it may not join it
  unsigned len;
  int width;
};

class Utf8Char : public testing::TestWithParam<char_case> {};

TEST_P(Utf8Char, LengthAndWidth) {
  const char_case& c = GetParam();
  const auto u = morek::utf8_at(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size());
  EXPECT_EQ(u.len, c.len);
  EXPECT_EQ(u.width, c.width);
}

const char_case char_cases[] = {
    // Wide: CJK, kana, full-width Latin, Hangul, emoji, the ideographic space.
    {"cjk", "\xe4\xb8\xad", 3, 2},
    {"hiragana", "\xe3\x81\x82", 3, 2},
    {"fullwidth_a", "\xef\xbc\xa1", 3, 2},
    {"hangul", "\xed\x95\x9c", 3, 2},
    {"emoji", "\xf0\x9f\x98\x80", 4, 2},
    {"ideographic_space", "\xe3\x80\x80", 3, 2},
    // Narrow.
    {"e_acute", "\xc3\xa9", 2, 1},
    {"plus_minus", "\xc2\xb1", 2, 1},
    {"em_dash", "\xe2\x80\x94", 3, 1},
    {"no_break_space", "\xc2\xa0", 2, 1},
    {"c1_control_counts_one", "\xc2\x85", 2, 1},
    {"first_c1_control", "\xc2\x80", 2, 1},
    {"last_code_point", "\xf4\x8f\xbf\xbf", 4, 1},
    {"first_three_byte", "\xe0\xa0\x80", 3, 1},
    {"last_before_surrogates", "\xed\x9f\xbf", 3, 1},
    // Zero width: combining accent, joiner, variation selector, BOM.
    {"combining_acute", "\xcc\x81", 2, 0},
    {"zero_width_joiner", "\xe2\x80\x8d", 3, 0},
    {"variation_selector", "\xef\xb8\x8f", 3, 0},
    {"byte_order_mark", "\xef\xbb\xbf", 3, 0},
    // Ill-formed: the first byte stands alone, one column.
    {"lone_continuation", "\x80\x80", 1, 1},
    {"overlong_two_bytes", "\xc0\xaf", 1, 1},
    {"overlong_c1", "\xc1\xbf", 1, 1},
    {"overlong_three_bytes", "\xe0\x80\xaf", 1, 1},
    {"overlong_four_bytes", "\xf0\x80\x80\xaf", 1, 1},
    {"surrogate", "\xed\xa0\x80", 1, 1},
    {"past_last_code_point", "\xf4\x90\x80\x80", 1, 1},
    {"five_byte_form", "\xf8\x88\x80\x80\x80", 1, 1},
    {"byte_ff", "\xff", 1, 1},
    {"truncated_before_space", "\xe4\xb8 ", 1, 1},
    {"truncated_at_the_end", "\xe4\xb8", 1, 1},
    {"lead_before_newline", "\xc3\n", 1, 1},
    {"lead_before_tab", "\xf0\x9f\x98\t", 1, 1},
};
INSTANTIATE_TEST_SUITE_P(Table, Utf8Char, testing::ValuesIn(char_cases),
                         [](const auto& info) { return std::string(info.param.name); });

class Utf8Run : public testing::TestWithParam<exact_case> {};

TEST_P(Utf8Run, MatchesByteForByte) { expect_run(GetParam()); }

const std::vector<std::string> u84 = {"--utf8", "--eol=lf", "8", "4"};
const std::string a254(254, 'a');
const std::string a253(253, 'a');

const exact_case run_cases[] = {
    // Characters of 2, 3 and 4 bytes count their width before a tab.
    {"two_bytes", u84, "\xc3\xa9\xc3\xa9\xc3\xa9\tx\n", "\xc3\xa9\xc3\xa9\xc3\xa9\t\tx\n", "", 0},
    {"three_bytes", u84, "\xe4\xb8\xad\tx\n", "\xe4\xb8\xad\t\tx\n", "", 0},
    {"four_bytes", u84, "\xf0\x9f\x98\x80\tx\n", "\xf0\x9f\x98\x80\t\tx\n", "", 0},
    {"without_utf8_bytes_count",
     {"--eol=lf", "8", "4"},
     "\xc3\xa9\xc3\xa9\xc3\xa9\tx\n",
     "\xc3\xa9\xc3\xa9\xc3\xa9\tx\n",
     "",
     0},
    // A zero-width character after a blank ends the run and takes no column.
    {"zero_width_after_blank", u84, "a \xcc\x81  b\n", "a \xcc\x81\tb\n", "", 0},
    // A wide character across a tab stop: the spaces after it cross none.
    {"wide_across_a_stop", u84, "abc\xe4\xb8\xad  x\n", "abc\xe4\xb8\xad  x\n", "", 0},
    {"wide_across_a_stop_shift_jis", {"--eol=lf", "8", "4"}, "abc\xe4\xb8\xad  x\n", "abc\xe4\xb8\xad\tx\n", "", 0},
    {"three_wide_then_a_stop", u84, "\xe4\xb8\xad\xe4\xb8\xad\xe4\xb8\xad  x\n",
     "\xe4\xb8\xad\xe4\xb8\xad\xe4\xb8\xad\tx\n", "", 0},
    // Ill-formed bytes count one column each and leave what follows alone.
    {"lone_0x87_before_tab", u84, "\x87\tx\n", "\x87\t\tx\n", "", 0},
    {"truncated_before_tab", u84, "\xe4\xb8\tx\n", "\xe4\xb8\t\tx\n", "", 0},
    {"overlong_before_tab", u84, "\xe0\x80\xaf\tx\n", "\xe0\x80\xaf\t\tx\n", "", 0},
    {"surrogate_before_tab", u84, "\xed\xa0\x80\tx\n", "\xed\xa0\x80\t\tx\n", "", 0},
    {"truncated_before_newline", u84, "a\xe4\xb8\nb   c\n", "a\xe4\xb8\nb\tc\n", "", 0},
    {"truncated_before_quote",
     {"-c", "--utf8", "--eol=lf", "8", "4"},
     "s = \"\xf0\x9f\x98\";\n\tif (x)        y;\n",
     "s = \"\xf0\x9f\x98\";\n\t\tif (x)\t\t  y;\n",
     "",
     0},
    {"overlong_before_quote",
     {"-c", "--utf8", "--eol=lf", "8", "4"},
     "s = '\xe0';\n\tz    w\n",
     "s = '\xe0';\n\t\tz\t w\n",
     "",
     0},
    {"whole_character_before_quote",
     {"-c", "--utf8", "--eol=lf", "8", "4"},
     "s = \"\xe6\x96\x87\";\n\tif (x)        y;\n",
     "s = \"\xe6\x96\x87\";\n\t\tif (x)\t\t  y;\n",
     "",
     0},
    {"comment_tab_after_character",
     {"-c", "--utf8", "--eol=lf", "8", "2"},
     "// \xe6\x96\x87\tcomment\n",
     "// \xe6\x96\x87\t\tcomment\n",
     "",
     0},
    // The ideographic space is a character of two columns, never a blank.
    {"ideographic_space_between_runs",
     {"--utf8", "--eol=lf", "8", "2"},
     "  \xe3\x80\x80  x\n",
     "\t\xe3\x80\x80\tx\n",
     "",
     0},
    {"ideographic_space_then_run", u84, "a\xe3\x80\x80  b\n", "a\xe3\x80\x80\t b\n", "", 0},
    {"no_break_space_stays", u84, "a\xc2\xa0\xc2\xa0\xc2\xa0\xc2\xa0x\n", "a\xc2\xa0\xc2\xa0\xc2\xa0\xc2\xa0x\n", "",
     0},
    // A byte order mark takes no column.
    {"bom_then_tab", u84, "\xef\xbb\xbf\tx\n", "\xef\xbb\xbf\t\tx\n", "", 0},
    {"bom_then_spaces", {"--utf8", "--eol=lf", "4", "4"}, "\xef\xbb\xbf    x\n", "\xef\xbb\xbf\tx\n", "", 0},
    // A -b piece that cuts a character: each side's bytes count one column.
    {"piece_cuts_after_first_byte",
     {"-b256", "--utf8", "--eol=lf", "8", "4"},
     a254 + "\xe4\xb8\xad\tx\n",
     a254 + "\xe4\xb8\xad\t\tx\n",
     "",
     0},
    {"piece_cuts_after_second_byte",
     {"-b256", "--utf8", "--eol=lf", "8", "4"},
     a253 + "\xe4\xb8\xad  x\n",
     a253 + "\xe4\xb8\xad  x\n",
     "",
     0},
    {"piece_cut_widths_differ_from_whole",
     {"-b256", "--utf8", "--eol=lf", "8", "4"},
     a254 + "\xe4\xb8\xad\xe4\xb8\xad  x\n",
     a254 + "\xe4\xb8\xad\xe4\xb8\xad  x\n",
     "",
     0},
    {"same_line_whole", u84, a254 + "\xe4\xb8\xad\xe4\xb8\xad  x\n", a254 + "\xe4\xb8\xad\xe4\xb8\xad\tx\n", "", 0},
    // The default line ends apply without --eol.
    {"default_line_ends", {"--utf8", "8", "4"}, "\xe4\xb8\xad\tx\r\n\x1a\tz\n", "\xe4\xb8\xad\t\tx\r\n", "", 0},
};
INSTANTIATE_TEST_SUITE_P(Table, Utf8Run, testing::ValuesIn(run_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
