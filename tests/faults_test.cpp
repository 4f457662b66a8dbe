// Bad input and faults end with their defined message and status: never a
// signal, never output silently lost.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "run_tool.hpp"
#include "test_support.hpp"

namespace {

const std::string too_long_tail = " \nError: too long line found!\n";

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class BadInput : public testing::TestWithParam<exact_case> {};

TEST_P(BadInput, EndsAsDefined) { expect_run(GetParam()); }

std::string line_of(std::size_t n, const char* end = "\n") { return std::string(n - 1, 'q') + end; }

const exact_case cases[] = {
    {"only_crs", {"8", "4"}, std::string(5000, '\r'), "", "", 0},
    {"only_ctrl_z", {"8", "4"}, std::string(5000, '\x1a'), "", "", 0},
    {"only_nuls", {"8", "4"}, std::string(300, '\0'), std::string(300, '\0'), "", 0},
    {"nuls_and_newlines", {"8", "4"}, std::string("\0\n\0\0\n", 5), std::string("\0\r\n\0\0\r\n", 7), "", 0},
    {"line_510_lf", {"8", "4"}, line_of(510), line_of(510, "\r\n"), "", 0},
    {"line_510_crlf", {"8", "4"}, line_of(510, "\r\n"), line_of(510, "\r\n"), "", 0},
    {"line_511_lf", {"8", "4"}, line_of(511), "", line_of(511) + too_long_tail, 1},
    {"line_511_crlf", {"8", "4"}, line_of(511, "\r\n"), "", line_of(511) + too_long_tail, 1},
    {"line_511_without_newline", {"8", "4"}, std::string(511, 'q'), "", std::string(511, 'q') + too_long_tail, 1},
    {"line_510_without_newline", {"8", "4"}, std::string(510, 'q'), std::string(510, 'q'), "", 0},
    {"huge_b_works", {"-b100000000", "8", "4"}, "\tx\n", "\t\tx\r\n", "", 0},
    {"b_too_large", {"-b2147483646", "8", "4"}, "x\n", "", "-b2147483646: buffer size out of range\n", 1},
    {"tab_empty", {"", ""}, "", "", "tab1 length error\n", 1},
    {"tab2_letters", {"8", "four"}, "", "", "tab2 length error\n", 1},
};
INSTANTIATE_TEST_SUITE_P(Cases, BadInput, testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FaultsLarge, LargestBufferIsUsable) {
  if (sanitized) GTEST_SKIP() << "the sanitizers' allocator is not asked for 2 GB";
  const tool_result r = run_tool({"-b2147483645", "8", "4"}, "a  b\n");
  EXPECT_EQ(r.out, "a  b\r\n");
  EXPECT_EQ(r.status, 0);
}

TEST(FaultsRandom, BinaryDataEndsCleanly) {
  rng r{0xbadc0ffee0ddf00dULL};
  for (int round = 0; round < 30; ++round) {
    std::string data;
    const int size = r.below(20000);
    const bool with_newlines = r.below(2) == 0;
    for (int i = 0; i < size; ++i) {
      data += static_cast<char>(r.below(256));
      if (with_newlines && r.below(40) == 0) data += '\n';
    }
    const std::vector<std::string> args =
        r.below(2) == 0 ? std::vector<std::string>{"-c", "8", "4"} : std::vector<std::string>{"-t", "-b256", "3", "7"};
    const tool_result res = run_tool(args, data);
    ASSERT_LT(res.status, 2) << "round " << round << " ended by signal " << res.status - 128;
    if (res.status == 1)
      EXPECT_TRUE(ends_with(res.err, too_long_tail)) << res.err.substr(0, 80);
    else
      EXPECT_EQ(res.err, "");
  }
}

// The messages a run may end with, by their ends.
bool known_message(const std::string& err) {
  for (const char* tail :
       {": invalid option\n", "Usage : morek [-ct] [-b<n>] <tab1> <tab2> [<file>]\n", "tab1 length error\n",
        "tab2 length error\n", ": can't open\n", ": buffer size out of range\n", "Error: too long line found!\n"})
    if (ends_with(err, tail)) return true;
  return false;
}

TEST(FaultsRandom, ArgumentVectorsEndCleanly) {
  rng r{0x0a1b2c3d4e5f6071ULL};
  temp_file file("\tx  y\n");
  const std::vector<std::string> tokens = {
      "-c", "-t", "-ct", "-b",     "-b300", "-bx",     "-x",           "-",           "8", "4",  "0", "257",
      "-4", "8x", "",    "-usage", "/tmp",  file.path, "/nonexistent", "99999999999", "1", "256"};
  for (int round = 0; round < 150; ++round) {
    std::vector<std::string> args;
    const int n = r.below(6);
    for (int i = 0; i < n; ++i)
      args.push_back(tokens[static_cast<std::size_t>(r.below(static_cast<int>(tokens.size())))]);
    const tool_result res = run_tool(args, "a  b\n");
    ASSERT_LT(res.status, 2) << "signal " << res.status - 128;
    if (res.status == 0) {
      EXPECT_EQ(res.err, "");
    } else if (res.err.empty()) {
      EXPECT_EQ(args, std::vector<std::string>{"-usage"});  // the help table
    } else {
      EXPECT_TRUE(known_message(res.err)) << res.err;
    }
  }
}

}  // namespace

namespace {

TEST(FaultsPipe, LinesSplitAcrossReadsConvertWhole) {
  // A writer that pauses inside lines, so that the tool's reads end mid-line.
  temp_file out("");
  const std::string cmd = std::string("{ printf 'ab  '; sleep 0.2; printf '  c\\r'; sleep 0.2; printf '\\n\\tx'; ") +
                          "sleep 0.2; printf 'y\\n'; } | " + tool_path() + " 8 4 > " + out.path;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(read_file(out.path), "ab\t  c\r\n\t\txy\r\n");
}

}  // namespace

namespace {

TEST(FaultsPipe, ConvertedLinesGoOutBeforeTheToolWaitsForMore) {
  // The writer holds back its second line until the first has come out.
  temp_file out("");
  const std::string flag = out.path + ".seen";
  const std::string cmd = "{ printf 'x  y\\n'; i=0; while [ ! -s " + out.path +
                          " ] && [ $i -lt 100 ]; do sleep 0.05; " + "i=$((i+1)); done; [ -s " + out.path +
                          " ] && touch " + flag + "; printf 'z\\n'; } | " + tool_path() + " 8 4 > " + out.path;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(read_file(out.path), "x  y\r\nz\r\n");
  EXPECT_EQ(std::system(("test -f " + flag).c_str()), 0) << "the first line was held back until the end";
  std::remove(flag.c_str());
}

}  // namespace
