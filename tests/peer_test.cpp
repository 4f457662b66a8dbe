// morek against GNU coreutils: without -c, on ASCII text with no backspace,
// CR or Ctrl-Z and lines under 511 bytes, `morek T1 T2` writes what
// `expand -t T1 | sed 's/ *$//' | unexpand -a -t T2` writes, with CR LF line ends.
// At T2 = 1 they part on purpose: unexpand turns a single blank into a tab
// there, while morek never turns a single space into a tab.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "run_tool.hpp"
#include "test_support.hpp"

namespace {

// Text that leans on blanks: indentation, runs of every length, single spaces.
std::string random_text(rng& r) {
  std::string s;
  const int lines = 20 + r.below(60);
  for (int l = 0; l < lines; ++l) {
    const int len = r.below(10) == 0 ? 200 + r.below(300) : r.below(70);
    std::string line;
    while (static_cast<int>(line.size()) < len) {
      const int k = r.below(10);
      if (k < 3)
        line.append(static_cast<std::size_t>(1 + r.below(k == 0 ? 12 : 2)), ' ');
      else if (k < 5)
        line += '\t';
      else
        line += static_cast<char>(0x21 + r.below(0x7e - 0x21 + 1));
    }
    if (line.size() > 509) line.resize(509);
    s += line;
    s += '\n';
  }
  if (r.below(4) == 0) s.pop_back();  // no final newline
  return s;
}

std::string gnu(const std::string& path, int t1, int t2) {
  temp_file out("");
  const std::string cmd = "LC_ALL=C expand -t " + std::to_string(t1) + " < " + path +
                          " | sed 's/ *$//' | LC_ALL=C unexpand -a -t " + std::to_string(t2) + " > " + out.path;
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return read_file(out.path);
}

TEST(Peer, MatchesExpandUnexpand) {
  if (std::system("command -v expand >/dev/null && command -v unexpand >/dev/null") != 0)
    GTEST_SKIP() << "GNU expand and unexpand are not installed";
  rng r{0xc0ffee1234567ULL};
  const int widths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 32, 100, 256};
  for (int round = 0; round < 120; ++round) {
    const int t1 = widths[r.below(19)];
    const int t2 = widths[1 + r.below(18)];
    const std::string text = random_text(r);
    temp_file in(text);
    const tool_result got = run_tool({std::to_string(t1), std::to_string(t2), in.path}, "");
    ASSERT_EQ(got.status, 0);
    std::string want = crlf(gnu(in.path, t1, t2));
    ASSERT_EQ(got.out, want) << "tab1 " << t1 << " tab2 " << t2 << " round " << round;
  }
}

}  // namespace
