#include "sjis.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace m = morek;

namespace {

// Offset of a search result in s, or -1 for null.
long at(const char* s, const char* found) { return found == nullptr ? -1 : found - s; }

TEST(Searches, DoubleByteAwareOnesSkipSecondBytes) {
  const char* s = "\x95\x5c\x5c";
  EXPECT_EQ(at(s, m::Strchr(s, '\\')), 2);
  EXPECT_EQ(at(s, m::Strrchr(s, '\\')), 2);
  const char* pair = "\x95\x5c";
  EXPECT_EQ(at(pair, m::Strchr(pair, '\\')), -1);
  EXPECT_EQ(at(pair, m::Strrchr(pair, '\\')), -1);
  EXPECT_EQ(at(pair, m::index(pair, '\\')), 1);
  EXPECT_EQ(at(pair, m::rindex(pair, '\\')), 1);
  // A lead byte itself can be found, also one standing alone before the terminator.
  const char* lead = "\x41\x95\x5c";
  EXPECT_EQ(at(lead, m::Strchr(lead, 0x95)), 1);
  const char* alone = "\x41\x95";
  EXPECT_EQ(at(alone, m::Strchr(alone, 0x95)), 1);
  EXPECT_EQ(at(alone, m::Strrchr(alone, 0x95 - 256)), 1);  // only the low 8 bits count
  // Half-width katakana and 0xA0 are single bytes for the searches.
  const char* kana = "\xb1\x5c";
  EXPECT_EQ(at(kana, m::Strchr(kana, '\\')), 1);
  const char* many = "a\\b\\c";
  EXPECT_EQ(at(many, m::Strchr(many, '\\')), 1);
  EXPECT_EQ(at(many, m::Strrchr(many, '\\')), 3);
}

TEST(Searches, NulIsNeverFound) {
  for (const char* s : {"", "abc"}) {
    EXPECT_EQ(m::Strchr(s, 0), nullptr);
    EXPECT_EQ(m::Strrchr(s, 0), nullptr);
    EXPECT_EQ(m::index(s, 0), nullptr);
    EXPECT_EQ(m::rindex(s, 0), nullptr);
  }
  EXPECT_EQ(m::rindex("", 'a'), nullptr);
}

TEST(Searches, ByteWise) {
  const char* s = "abcabc";
  EXPECT_EQ(at(s, m::index(s, 'c')), 2);
  EXPECT_EQ(at(s, m::rindex(s, 'a')), 3);
  EXPECT_EQ(at(s, m::index1(s, "ca")), 2);
  EXPECT_EQ(at(s, m::index1(s, "bc")), 1);
  EXPECT_EQ(at(s, m::index1(s, "")), 0);
  EXPECT_EQ(m::index1("", ""), nullptr);
  EXPECT_EQ(m::index1("ab", "abc"), nullptr);
  EXPECT_EQ(m::index1("abc", "cd"), nullptr);
  EXPECT_EQ(at(s, m::index2(s, "xc")), 2);
  EXPECT_EQ(m::index2(s, ""), nullptr);
  EXPECT_EQ(m::index2(s, "xyz"), nullptr);
  const char* w = "a\\b?c*";
  EXPECT_EQ(at(w, m::srch_wild(w)), 3);
  EXPECT_EQ(m::srch_wild("abc"), nullptr);
}

TEST(Searches, Skipping) {
  const char* blanks = " \t \t";
  EXPECT_EQ(at(blanks, m::sp_skip(blanks)), 4);
  const char* word = "word";
  EXPECT_EQ(at(word, m::chr_skip(word)), 4);
  const char* mixed = " \tab c";
  EXPECT_EQ(at(mixed, m::sp_skip(mixed)), 2);
  EXPECT_EQ(at(mixed, m::chr_skip(mixed + 2)), 4);
}

TEST(Editing, InsCharAndClear) {
  char s[8] = "";
  EXPECT_EQ(m::insChar(s, 'x'), 0);
  EXPECT_STREQ(s, "x");
  char t[8] = "ab";
  m::insChar(t, 'x');
  EXPECT_STREQ(t, "xab");

  char buf[6] = "zzzzz";
  m::clear(buf, 'a', 0);
  m::clear(buf, 'a', -3);
  EXPECT_STREQ(buf, "zzzzz");
  m::clear(buf, 'a', 3);
  EXPECT_STREQ(buf, "aaazz");
}

TEST(Editing, CaseMappingLeavesDoubleByteCharactersAlone) {
  struct {
    const char* in;
    const char* upper;
    const char* lower;
  } const cases[] = {
      {"abC1", "ABC1", "abc1"},
      {"\xb1\x61", "\xb1\x41", "\xb1\x61"},
      {"\xb1\x41", "\xb1\x41", "\xb1\x61"},
      {"\x82\x61", "\x82\x61", "\x82\x61"},
      {"\x82\x41", "\x82\x41", "\x82\x41"},
      {"a\x82", "A\x82", "a\x82"},
      {"\xa0\x61z", "\xa0\x61Z", "\xa0\x61z"},  // 0xA0 pairs for case mapping
  };
  for (const auto& c : cases) {
    std::string up = c.in, low = c.in;
    EXPECT_EQ(m::to_upper(up.data()), 0);
    EXPECT_EQ(m::to_lower(low.data()), 0);
    EXPECT_EQ(up, c.upper) << c.in;
    EXPECT_EQ(low, c.lower) << c.in;
  }
}

struct cmp_case {
  const char* a;
  const char* b;
  int result;
};

TEST(StrCmp, Pairs) {
  const cmp_case cases[] = {
      {"abc", "ABC", 0},
      {"ab", "abc", -1},
      {"abc", "ab", 1},
      {"", "", 0},
      {"a\\b", "a b", -1},
      {"dir", "dir\\x", -1},
      {"dir\\x", "dir.x", -1},
      {"_a", "Ba", -1},
      {"\xb1", "a", 1},
      {"a", "\xb1", -1},
      {"\xb1", "\x82\xa0", -1},
      {"\x82\xa0", "\xb1", 1},
      {"\x82\xa0", "\x82\xa2", -1},
      {"x\x82", "x\x82", 0},
      {"x\x82", "x\x82\x40", -1},
      {"[", "a", -1},
      {"{", "z", 1},
      {"\x82\x41", "\x82\x61", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(m::StrCmp(c.a, c.b), c.result) << c.a << " vs " << c.b;
}

std::vector<std::string> varied_names() {
  std::vector<std::string> names = {
      "",         "a",        "A",      "ab",        "aB",        "a\\b", "a b",  "a.b",      "a_b",
      "a\\",      "\\",       "_",      "[x]",       "{x}",       "~",    "\xb1", "\xb1\xb2", "\xdf",
      "\x82\xa0", "\x82\xa2", "\x82",   "\x95\x5c",  "\x95\x5cx", "\xa0", "\xfd", "\xff\x41", "dir",
      "dir\\x",   "dir.x",    "DIR\\Y", "z\x82\xa0", "Z\xb1",     "0",    "9\\",  "\x80",
  };
  return names;
}

TEST(StrCmp, IsATotalOrder) {
  const auto names = varied_names();
  for (const auto& a : names) {
    EXPECT_EQ(m::StrCmp(a.c_str(), a.c_str()), 0);
    for (const auto& b : names) {
      const int ab = m::StrCmp(a.c_str(), b.c_str());
      ASSERT_EQ(ab, -m::StrCmp(b.c_str(), a.c_str())) << a << " / " << b;
      // Equal only under case folding of ASCII letters.
      std::string fa = a, fb = b;
      m::to_lower(fa.data());
      m::to_lower(fb.data());
      EXPECT_EQ(ab == 0, fa == fb) << a << " / " << b;
      for (const auto& c : names) {
        const int bc = m::StrCmp(b.c_str(), c.c_str());
        if (ab <= 0 && bc <= 0) {
          ASSERT_LE(m::StrCmp(a.c_str(), c.c_str()), 0) << a << " " << b << " " << c;
        }
      }
    }
  }
}

TEST(StrCmp, SortsPathNamesAsAListing) {
  const std::vector<std::string> expected = {
      "src",     "src\\lib", "src\\lib\\a.c", "src\\main.c", "src\\Main.h",  "src.bak",
      "src_old", "srcs",     "\xb1\xb2.txt",  "\x82\xa0\\x", "\x82\xa0.txt", "\x82\xa2",
  };
  std::vector<std::string> shuffled = expected;
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    std::stable_sort(shuffled.begin(), shuffled.end(),
                     [](const std::string& a, const std::string& b) { return m::StrCmp(a.c_str(), b.c_str()) < 0; });
    ASSERT_EQ(shuffled, expected);
  }
}

}  // namespace
