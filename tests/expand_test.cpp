#include "expand.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.hpp"

using namespace morek;

namespace {

struct expanded {
  std::string text;
  std::string flags;  // '0' protected, '1' convertible, one per byte before the newline
};

expanded run(const std::string& line, lex_state& lex) {
  std::vector<unsigned char> exp(expansion_bound(line.size(), tab1)), flg(exp.size());
  const std::size_t n =
      expand_line({reinterpret_cast<const unsigned char*>(line.data()), line.size()}, exp.data(), flg.data(), lex);
  expanded r;
  r.text.assign(exp.begin(), exp.begin() + static_cast<long>(n));
  const std::size_t flagged = (n > 0 && exp[n - 1] == '\n') ? n - 1 : n;
  for (std::size_t i = 0; i < flagged; ++i) r.flags += static_cast<char>('0' + flg[i]);
  return r;
}

struct expand_case {
  const char* name;
  int tab;
  int c;
  std::vector<std::string> before;  // lines run first, for the state they leave
  std::string line;
  std::string text;
  std::string flags;
};

class Expand : public testing::TestWithParam<expand_case> {};

TEST_P(Expand, TextAndFlags) {
  const settings_guard restore;
  const expand_case& c = GetParam();
  tab1 = c.tab;
  ign_str = c.c;
  lex_state lex;
  for (const auto& b : c.before) run(b, lex);
  const expanded r = run(c.line, lex);
  EXPECT_EQ(r.text, c.text);
  EXPECT_EQ(r.flags, c.flags);
}

const std::string sjis_a = "\x82\xa0";

const expand_case cases[] = {
    {"leading_tab", 8, 0, {}, "\tx\n", "        x\n", "111111111"},
    {"tab_mid_line", 4, 0, {}, "ab\tc\n", "ab  c\n", "11111"},
    {"literal_tab_protected", 8, 1, {}, "s = \"a\tb\";\n", "s = \"a\tb\";\n", "1111000011"},
    {"literal_tab_expanded_without_c", 8, 0, {}, "s = \"a\tb\";\n", "s = \"a  b\";\n", "11111111111"},
    {"comment_openers_are_protected", 8, 0, {}, "a/*b*/c//d\n", "a/*b*/c//d\n", "1011111011"},
    {"char_literal_holds_double_quote", 8, 1, {"x = '\"';\n"}, "\"a b\"\n", "\"a b\"\n", "00001"},
    {"quote_inside_block_comment", 8, 1, {"/* it's\n"}, "x = \"a  b\"; */\n", "x = \"a  b\"; */\n", "11111111111111"},
    {"line_comment_ends_with_line", 8, 1, {"// don't\n"}, "'a b'\n", "'a b'\n", "00001"},
    {"open_literal_protects_next_line", 8, 1, {"s = \"open\n"}, "  \tx\"  y\n", "  \tx\"  y\n", "00001111"},
    {"escaped_quote_keeps_literal_open", 8, 1, {}, "\"a\\\"b c\" d\n", "\"a\\\"b c\" d\n", "0000000111"},
    {"two_backslashes_close_it", 8, 1, {}, "\"a\\\\\" b\n", "\"a\\\\\" b\n", "0000111"},
    {"double_byte_counts_two_columns", 8, 0, {}, sjis_a + "\tx\n", sjis_a + "      x\n", "111111111"},
    {"second_byte_5c_escapes_nothing", 8, 1, {}, "\"\x95\x5c\" x\n", "\"\x95\x5c\" x\n", "000111"},
    {"lead_byte_at_the_end_is_alone", 8, 0, {}, "ab\x95", "ab\x95", "111"},
    {"lead_byte_takes_the_newline", 8, 0, {}, "a\x95\n", "a\x95\n", "11"},
    {"nul_is_ordinary_and_never_pairs",
     8,
     0,
     {},
     std::string("\x95\0\t", 3),
     std::string("\x95\0      ", 8),
     "11111111"},
    {"comment_close_starts_line_comment", 8, 1, {}, "/* c *//\"a b\"\n", "/* c *//\"a b\"\n", "0111110111111"},
    {"protected_tab_moves_column_on_tab1", 4, 1, {}, "\"\t\"\tx\n", "\"\t\"   x\n", "0011111"},
    {"tab_width_1", 1, 0, {}, "\t\t\n", "  \n", "11"},
};
INSTANTIATE_TEST_SUITE_P(Lines, Expand, testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ExpandState, LiteralAndBlockCommentCarryOverLines) {
  const settings_guard restore;
  tab1 = 8;
  ign_str = 1;
  lex_state lex;
  run("x = \"abc\n", lex);
  EXPECT_EQ(lex.quote, '"');
  run("def\";  /* open\n", lex);
  EXPECT_EQ(lex.quote, 0);
  EXPECT_TRUE(lex.in_block);
  run("*/\n", lex);
  EXPECT_FALSE(lex.in_block);
  run("'\\\n", lex);  // a backslash at a line's end escapes the next line's first byte
  EXPECT_EQ(lex.escape, 1);
  run("'x'\n", lex);  // so this quote is escaped and the last one closes
  EXPECT_EQ(lex.quote, 0);
}

TEST(ExpandBound, HoldsTheWidestLine) {
  const settings_guard restore;
  for (int tab : {1, 7, 256}) {
    tab1 = tab;
    ign_str = 0;
    lex_state lex;
    const std::string tabs(510, '\t');
    const expanded r = run(tabs, lex);
    EXPECT_EQ(r.text.size(), 510u * static_cast<unsigned>(tab));
    EXPECT_LE(r.text.size() + 1, expansion_bound(tabs.size(), tab));
  }
}

}  // namespace
