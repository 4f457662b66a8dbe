// The whole-input conversion against a plain model of the line reader and the
// two passes, on random inputs that span many read blocks.
#include "stream.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "convert.hpp"
#include "expand.hpp"
#include "retab.hpp"
#include "run_tool.hpp"
#include "test_support.hpp"
#include "textio.hpp"

using namespace morek;

namespace {

struct model_result {
  std::string out;
  std::size_t too_long = 0;
  std::string too_long_text;
};

// The text stream, the line reader and the two passes, as plainly as they go.
model_result model(const std::string& raw, bool trim) {
  std::string text;
  for (char c : raw) {
    if (c == '\x1a') break;
    if (c != '\r') text += c;
  }
  model_result r;
  lex_state lex;
  const auto max = static_cast<std::size_t>(BUFSIZE) - 1;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t n = 0;
    while (n < max && pos + n < text.size()) {
      if (text[pos + n++] == '\n') break;
    }
    std::string line = text.substr(pos, n);
    pos += n;
    if (line.size() >= LINE_LIMIT) {
      r.too_long = line.size();
      r.too_long_text = line;
      return r;
    }
    if (trim) line = trimmed(line);
    r.out += by_passes(line, lex);
  }
  return r;
}

// convert_stream on the input, with standard output caught in a file.
model_result real(const std::string& raw, bool trim) {
  temp_file input(raw);
  temp_file output("");
  const int in_fd = open(input.path.c_str(), O_RDONLY);
  const int out_fd = open(output.path.c_str(), O_WRONLY);
  const int saved = dup(1);
  dup2(out_fd, 1);
  auto reader = std::make_unique<text_reader>(in_fd);
  std::vector<unsigned char> in_buf(static_cast<std::size_t>(BUFSIZE) + 2 + LINE_LIMIT + CONVERT_PAD);
  const stream_result s = convert_stream(*reader, in_buf.data(), trim);
  const bool flushed = out_flush();
  dup2(saved, 1);
  close(saved);
  close(out_fd);
  close(in_fd);
  EXPECT_TRUE(flushed);
  model_result r;
  r.out = read_file(output.path);
  r.too_long = s.too_long;
  if (s.too_long != 0) r.too_long_text.assign(reinterpret_cast<const char*>(in_buf.data()), s.too_long);
  return r;
}

// Lines of every sort; some of exactly the lengths where the line reader and
// the line limit change what happens.
std::string random_input(rng& r, std::size_t size, bool allow_long, bool lone_crs) {
  static const std::string alphabet("    \t\t\"'/*\\abcxyz;=\x82\x95\xe0\xb1\xa0\xfd\x5c\x40\r\r\n\0", 31);
  const auto b = static_cast<std::size_t>(BUFSIZE);
  const std::size_t edges[] = {b - 3,          b - 2,      b - 1,         b, b + 1, LINE_LIMIT - 2,
                               LINE_LIMIT - 1, LINE_LIMIT, LINE_LIMIT + 1};
  std::string s;
  while (s.size() < size) {
    const int kind = r.below(100);
    if (kind < 4) {
      // A line of an exact length, newline included, with no CR or newline inside.
      std::size_t len = edges[r.below(9)];
      if ((!allow_long || r.below(20) != 0) && len >= LINE_LIMIT) len = LINE_LIMIT - 1;
      for (std::size_t i = 1; i < len; ++i) s += alphabet[static_cast<std::size_t>(r.below(24))];
      s += '\n';
      continue;
    }
    const auto len = static_cast<std::size_t>(kind < 8 ? 200 + r.below(200) : r.below(60));
    for (std::size_t i = 0; i < len; ++i) {
      const char c =
          r.below(10) == 0 ? static_cast<char>(r.below(256)) : alphabet[static_cast<std::size_t>(r.below(31))];
      if (c != '\r' || lone_crs) s += c;
    }
    if (r.below(5) == 0) s += '\r';
    s += '\n';
  }
  if (r.below(3) == 0) s.pop_back();  // no final newline
  if (r.below(20) == 0) s[static_cast<std::size_t>(r.below(static_cast<int>(s.size())))] = '\x1a';
  return s;
}

TEST(Stream, MatchesTheModel) {
  rng r{0xfeedface12345678ULL};
  const int widths[] = {1, 3, 4, 8, 256};
  const int sizes[] = {256, 300, 511, 512, 600, 4096};
  for (int round = 0; round < 60; ++round) {
    tab1 = widths[r.below(5)];
    tab2 = widths[r.below(5)];
    ign_str = r.below(2);
    BUFSIZE = sizes[r.below(6)];
    const bool trim = r.below(2) == 1;
    const bool allow_long = BUFSIZE < 512 || r.below(4) == 0;
    // CRs only before newlines can stay in the reader's window; others make it squeeze them all.
    const bool lone_crs = r.below(3) == 0;
    const std::string input = random_input(r, 50000 + static_cast<std::size_t>(r.below(300000)), allow_long, lone_crs);
    const model_result want = model(input, trim);
    const model_result got = real(input, trim);
    ASSERT_EQ(got.out, want.out) << "round " << round << " tab1 " << tab1 << " tab2 " << tab2 << " -c " << ign_str
                                 << " -b" << BUFSIZE << " -t " << trim;
    ASSERT_EQ(got.too_long, want.too_long) << "round " << round;
    std::printf("round %d b%d long %zu size %zu\n", round, BUFSIZE, want.too_long, input.size());
    ASSERT_EQ(got.too_long_text, want.too_long_text) << "round " << round;
  }
  BUFSIZE = 4096;
}

TEST(Stream, LinesAtTheEdgesOfTheReaderAndTheLimit) {
  tab1 = 8;
  tab2 = 4;
  for (int size : {256, 300, 510, 511, 512, 513, 600, 4096}) {
    BUFSIZE = size;
    const auto b = static_cast<std::size_t>(size);
    for (std::size_t len : {b - 2, b - 1, b, b + 1, LINE_LIMIT - 2, LINE_LIMIT - 1, LINE_LIMIT, LINE_LIMIT + 1}) {
      for (int c = 0; c <= 1; ++c) {
        ign_str = c;
        std::string line;
        for (std::size_t i = 0; i + 1 < len; ++i) line += "ab  \t\"'"[i % 7];
        for (const std::string& input :
             {"a  b\n" + line + "\nc  d\n", line + "\n", line, "a  b\r\n" + line + "\r\nc  d\r\n", line + "\r\n"}) {
          for (bool trim : {false, true}) {
            const model_result want = model(input, trim);
            const model_result got = real(input, trim);
            ASSERT_EQ(got.out, want.out) << "-b" << size << " line " << len << " -c " << c << " -t " << trim;
            ASSERT_EQ(got.too_long, want.too_long) << "-b" << size << " line " << len;
            ASSERT_EQ(got.too_long_text, want.too_long_text);
          }
        }
      }
    }
  }
  BUFSIZE = 4096;
}

}  // namespace
