#include "path.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace m = morek;

namespace {

TEST(FindExt, FinalComponentOnly) {
  struct {
    const char* path;
    long dot;  // offset of the result, -1 for null
  } const cases[] = {
      {"a.b.c", 3},        {"abc", -1}, {"dir.d\\", -1}, {"dir.d\\file", -1}, {".x", 0}, {"c:\\src\\main.cpp", 11},
      {"x.d\x95\x5cy", 1},  // the pair holds no separator
  };
  for (const auto& c : cases) {
    const char* r = m::findExt(c.path);
    EXPECT_EQ(r == nullptr ? -1 : r - c.path, c.dot) << c.path;
  }
}

TEST(Sepname, SplitsAfterTheFirstWildcardComponent) {
  struct {
    const char* pattern;
    const char* head;
    const char* tail;
  } const cases[] = {
      {"c:\\src\\*.d\\sub\\x.c", "c:\\src\\*.d", "sub\\x.c"},
      {"src\\*.c", "src\\*.c", ""},
      {"a\\b.c", "a\\b.c", ""},
      {"*\\*.c", "*", "*.c"},
      {"a?\\b\\c", "a?", "b\\c"},
      {"*\x95\x5c\\b", "*\x95\x5c", "b"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    std::string pattern = c.pattern;
    std::vector<char> head(pattern.size() + 1, 'x'), tail(pattern.size() + 1, 'x');
    EXPECT_EQ(m::sepname(pattern.data(), head.data(), tail.data()), 0);
    EXPECT_STREQ(head.data(), c.head) << c.pattern;
    EXPECT_STREQ(tail.data(), c.tail) << c.pattern;
    EXPECT_STREQ(pattern.c_str(), c.head) << c.pattern;
  }
}

int compare(const char* a, const char* b) {
  const m::file_entry ea{a}, eb{b};
  const m::file_entry* pa = &ea;
  const m::file_entry* pb = &eb;
  return m::comp_file(&pa, &pb);
}

TEST(CompFile, DepthFirstThenNameOrder) {
  EXPECT_EQ(compare("b", "a\\b"), -1);
  EXPECT_EQ(compare("a\\b", "c"), 1);
  EXPECT_EQ(compare("B", "a"), 1);
  EXPECT_EQ(compare("a", "A"), 0);
  EXPECT_EQ(compare("\x95\x5cx", "a"), 1);  // depth 0 for both: the pair's 0x5C is no separator
  EXPECT_EQ(compare("\x95\x5cx", "a\\b"), -1);
}

TEST(CompFile, SortsAnArrayWithQsort) {
  const char* const names[] = {"src\\lib\\b.c", "README", "src\\Main.c", "a\\z", "src\\lib\\A.c",
                               "Makefile",      "a.b\\c", "\x95\x5cx",   "ab\\c"};
  std::vector<m::file_entry> entries;
  for (const char* n : names) entries.push_back({n});
  std::vector<const m::file_entry*> table;
  for (const auto& e : entries) table.push_back(&e);
  std::qsort(table.data(), table.size(), sizeof table[0], m::comp_file);
  std::vector<std::string> got;
  for (const auto* e : table) got.emplace_back(e->name);
  const std::vector<std::string> expected = {"Makefile", "README",      "\x95\x5cx",     "a\\z",         "a.b\\c",
                                             "ab\\c",    "src\\Main.c", "src\\lib\\A.c", "src\\lib\\b.c"};
  EXPECT_EQ(got, expected);
}

struct exp_case {
  int tab;
  std::string src;
  std::string result;
};

TEST(ExpTab, ExpandsTabs) {
  const exp_case cases[] = {
      {4, "a\tb", "a   b"},       {4, "ab\tc", "ab  c"},
      {4, "\t", "    "},          {4, "", ""},
      {1, "\ta\t", " a "},        {8, "\x82\xa0\tx", "\x82\xa0      x"},
      {3, "a\nb\tc", "a\nb   c"},
  };
  for (const auto& c : cases) EXPECT_EQ(m::exp_tab(c.tab, c.src.c_str()), c.result) << c.src;
}

TEST(ExpTab, ReturnsOneBufferThatTheNextCallReplaces) {
  const char* first = m::exp_tab(4, "one");
  const char* second = m::exp_tab(4, "two");
  EXPECT_EQ(first, second);
  EXPECT_STREQ(first, "two");
}

TEST(ExpTab, FillsExactly2048Columns) {
  const std::string full(2048, 'x');
  EXPECT_EQ(m::exp_tab(8, full.c_str()), full);
  // A tab that stops short of column 2048 is fine; one that reaches it is not (below).
  const std::string short_tab = std::string(2030, 'x') + "\t";
  EXPECT_EQ(std::string(m::exp_tab(8, short_tab.c_str())), std::string(2030, 'x') + "  ");
}

TEST(ExpTabDeath, TooLongEndsTheProcessWithAMessageOnStdout) {
  struct {
    std::string src;
  } const cases[] = {
      {std::string(2049, 'x')},
      {std::string(2040, 'x') + "\t"},
      {std::string(2047, 'x') + "\t"},
      {std::string(2048, 'x') + "\t"},
  };
  for (const auto& c : cases) {
    // The message goes to standard output; the child sends it on to stderr for the check.
    EXPECT_EXIT(
        {
          dup2(2, 1);
          m::exp_tab(8, c.src.c_str());
        },
        testing::ExitedWithCode(1), "^x+\t? \\.\\.\\. too long\n$");
  }
}

}  // namespace
