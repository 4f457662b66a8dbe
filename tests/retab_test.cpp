#include "retab.hpp"

#include <gtest/gtest.h>

#include <string>

#include "test_support.hpp"

using namespace morek;

namespace {

// Walks the gap one column at a time: a tab wherever a tab stop can be
// reached without passing the target, spaces for the rest.
std::string naive_gap(int from, int to, int tab) {
  if (to == from + 1) return " ";
  std::string r;
  int col = from;
  while (col < to) {
    const int stop = (col / tab + 1) * tab;
    if (stop <= to) {
      r += '\t';
      col = stop;
    } else {
      r += ' ';
      ++col;
    }
  }
  return r;
}

TEST(ChgGap, MatchesTheNaiveWalkEverywhere) {
  for (int tab = 1; tab <= 9; ++tab) {
    for (int from = 0; from <= 3 * tab; ++from) {
      for (int to = from + 1; to <= from + 3 * tab + 2; ++to) {
        const gap g = chg_gap(from, to, tab);
        const std::string got =
            std::string(static_cast<std::size_t>(g.tabs), '\t') + std::string(static_cast<std::size_t>(g.spaces), ' ');
        ASSERT_EQ(got, naive_gap(from, to, tab)) << "tab " << tab << " from " << from << " to " << to;
      }
    }
  }
}

TEST(ChgGap, SingleSpaceOnAStopStaysASpace) {
  EXPECT_EQ(chg_gap(3, 4, 4).tabs, 0);
  EXPECT_EQ(chg_gap(3, 4, 4).spaces, 1);
  EXPECT_EQ(chg_gap(0, 1, 1).tabs, 0);
}

struct retab_case {
  const char* name;
  int tab;
  std::string exp;
  std::string flags;  // '0' protected, '1' convertible, one per byte
  std::string out;
};

class Retab : public testing::TestWithParam<retab_case> {};

TEST_P(Retab, WritesTheLine) {
  const settings_guard restore;
  const retab_case& c = GetParam();
  tab2 = c.tab;
  std::string flg;
  for (char f : c.flags) flg += static_cast<char>(f - '0');
  flg.resize(c.exp.size(), 1);
  string_sink out{"", "\n"};
  retab_line({reinterpret_cast<const unsigned char*>(c.exp.data()), c.exp.size()},
             reinterpret_cast<const unsigned char*>(flg.data()), out);
  EXPECT_EQ(out.s, c.out);
}

const retab_case cases[] = {
    {"eight_spaces", 8, "        x\n", "", "\tx\n"},
    {"run_crossing_a_stop", 4, "abc  x\n", "", "abc\t x\n"},
    {"trailing_run_dropped", 4, "x   \n", "", "x\n"},
    {"trailing_run_dropped_without_newline", 4, "x   ", "", "x"},
    {"protected_spaces_written", 4, "a    b\n", "100001", "a    b\n"},
    {"protected_space_ends_a_run", 4, "a    b\n", "111101", "a\t b\n"},
    {"protected_tab_moves_on_tab2", 4, "\"\t\"  x\n", "000111", "\"\t\"  x\n"},
    {"protected_tab_then_run_to_stop", 4, "\"a\tb\"      c\n", "00000111111", "\"a\tb\"\t\tc\n"},
    {"convertible_tab_counts_one", 4, "\x82\t  x\n", "", "\x82\t\tx\n"},
    {"nul_written", 4, std::string("\0  x\n", 5), "", std::string("\0  x\n", 5)},
    {"stops_at_newline", 4, "a\nb  c", "", "a\n"},
};
INSTANTIATE_TEST_SUITE_P(Lines, Retab, testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
