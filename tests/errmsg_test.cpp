#include "errmsg.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "test_support.hpp"

using namespace morek;

namespace {

// Resets the printers' globals around each test.
class Printers : public testing::Test {
 protected:
  void SetUp() override {
    errfp = nullptr;
    errmsg_output_flg = 0;
  }
  void TearDown() override { errfp = nullptr; }
};

TEST(ErrEdit, Conversions) {
  EXPECT_EQ(edit("%x %x %c %f %d\n", 255, -1, 65, 2.5, -5), "ff ffffffff A 2.500000 -5\n");
  EXPECT_EQ(edit("%s: can't open\n", "data.txt"), "data.txt: can't open\n");
  EXPECT_EQ(edit("plain text\n"), "plain text\n");
  EXPECT_EQ(edit("%d %d\n", 2147483647, -2147483647 - 1), "2147483647 -2147483648\n");
  EXPECT_EQ(edit("%s|%s\n", "", "\x95\x5c"), "|\x95\x5c\n");
}

TEST(ErrEdit, UnknownConversionsWriteQuestionMarkAndTakeOneArgument) {
  EXPECT_EQ(edit("100%%\n", 0), "100?%\n");
  EXPECT_EQ(edit("%5d\n", 42), "?5d\n");
  EXPECT_EQ(edit("%q is %d\n", 1, 7), "?q is 7\n");
  EXPECT_EQ(edit("%ld %d\n", 1, 2), "?ld 2\n");
}

TEST(ErrEdit, FloatTakesAWholeDouble) {
  EXPECT_EQ(edit("%f %d %s\n", -0.125, 9, "z"), "-0.125000 9 z\n");
  // A value whose digits alone exceed any small buffer is still formatted.
  const std::string big = edit("%f\n", 1e300);
  EXPECT_EQ(big.size(), 301u + 8u);
  EXPECT_EQ(big.substr(big.size() - 8), ".000000\n");
}

TEST(ErrEdit, PercentInsideAStringArgumentIsNotInterpreted) { EXPECT_EQ(edit("%s\n", "50%d done"), "50%d done\n"); }

TEST(ErrEdit, NulCharacterEndsTheVisibleText) { EXPECT_EQ(edit("a%cb\n", 0), "a"); }

TEST(ErrEdit, LoneTrailingPercentReadsNothingBeyondTheFormat) { EXPECT_EQ(edit("50%"), "50?"); }

TEST(ErrEdit, OverlongMessagesKeepTheFormatAndCutTheQuotedText) {
  const std::string line(5000, 'q');
  const std::string msg = edit("%s \nError: too long line found!\n", line.c_str());
  EXPECT_EQ(msg.size(), 1023u);
  EXPECT_EQ(msg, std::string(993, 'q') + " \nError: too long line found!\n");

  // Two quoted texts share the room, the first taking what it needs first.
  const std::string m2 = edit("<%s|%s>", line.c_str(), "tail");
  EXPECT_EQ(m2, "<" + std::string(1020, 'q') + "|>");

  // A format whose own text is too long is cut at the buffer's end.
  const std::string words(2000, 'w');
  EXPECT_EQ(edit(words.c_str()), std::string(1023, 'w'));

  // Exactly full fits without a cut.
  EXPECT_EQ(edit("%s", std::string(1023, 'e').c_str()), std::string(1023, 'e'));
}

TEST_F(Printers, ErrmsgWritesToStderrAndSetsTheFlag) {
  testing::internal::CaptureStderr();
  errmsg("%s: can't open\n", "a%d.txt");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "a%d.txt: can't open\n");
  EXPECT_EQ(errmsg_output_flg, 1);
}

TEST_F(Printers, ErrfpMinusOneSelectsStdoutForBoth) {
  errfp = ERRFP_STDOUT;
  testing::internal::CaptureStdout();
  errmsg("a %d\n", 1);
  errmsg1("b %d\n", 2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "a 1\nb 2\n");
}

TEST_F(Printers, OnlyErrmsg1HonoursAStream) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  errfp = f;
  testing::internal::CaptureStderr();
  errmsg("to stderr\n");
  errmsg1("to the stream %c\n", 'z');
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "to stderr\n");
  std::rewind(f);
  char got[64] = {};
  ASSERT_NE(std::fgets(got, sizeof got, f), nullptr);
  EXPECT_STREQ(got, "to the stream z\n");
  std::fclose(f);
}

TEST_F(Printers, Errmsg1LeavesTheFlagAlone) {
  testing::internal::CaptureStderr();
  errmsg1("x\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "x\n");
  EXPECT_EQ(errmsg_output_flg, 0);
}

}  // namespace
