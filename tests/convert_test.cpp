// The fused converter against the two passes it stands for, on many random
// lines and settings.
#include "convert.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "expand.hpp"
#include "retab.hpp"
#include "test_support.hpp"

using namespace morek;

namespace {

std::string by_converter(const std::string& line, lex_state& lex, bool first_piece = true) {
  std::string in = line;
  in.append(CONVERT_PAD, '\x80');  // readable padding: bytes that would join a character cut at the end
  std::vector<unsigned char> out(convert_bound(line.size(), tab1));
  const unsigned char* end =
      convert_line(reinterpret_cast<const unsigned char*>(in.data()), line.size(), lex, out.data(), false, first_piece);
  return {reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(end - out.data())};
}

// Bytes that matter to the passes, weighted toward blanks, plus anything at
// all, and UTF-8 characters of every width, whole or cut.
std::string random_line(rng& r) {
  static const char bytes[] = "    \t\t\"'/*\\abcxyz;=\x82\x95\xe0\xb1\xa0\xfd\x5c\x40";
  static const std::string alphabet(bytes, sizeof bytes);  // the terminating NUL is one of them
  static const char* const utf8[] = {"\xc3\xa9",         "\xe4\xb8\xad", "\xf0\x9f\x98\x80", "\xcc\x81",
                                     "\xe3\x80\x80",     "\xef\xbb\xbf", "\xc2\x85",         "\xed\xa0\x80",
                                     "\xf4\x90\x80\x80", "\xe0\x80\xaf"};
  std::string line;
  const int len = r.below(4) == 0 ? r.below(500) : r.below(60);
  while (static_cast<int>(line.size()) < len) {
    const int pick = r.below(14);
    if (pick == 0) {
      line += static_cast<char>(r.below(256));
    } else if (pick == 1) {
      const std::string c = utf8[r.below(10)];
      line += r.below(4) == 0 ? c.substr(0, static_cast<std::size_t>(1 + r.below(static_cast<int>(c.size())))) : c;
    } else {
      line += alphabet[static_cast<std::size_t>(r.below(static_cast<int>(alphabet.size())))];
    }
    for (char& c : line)
      if (c == '\n') c = 'n';
  }
  if (r.below(8) != 0) line += '\n';  // most lines end in a newline, as the reader delivers them
  return line;
}

TEST(Converter, MatchesTheTwoPasses) {
  const settings_guard restore;
  rng r{0x1234567887654321ULL};
  const int widths[] = {1, 2, 3, 4, 5, 7, 8, 9, 16, 255, 256};
  for (int round = 0; round < 6000; ++round) {
    tab1 = widths[r.below(11)];
    tab2 = widths[r.below(11)];
    ign_str = r.below(2);
    random_style(r);
    lex_state passes_lex, converter_lex;
    // A few lines in a row, for literals and comments left open; some are
    // the later pieces of a long line.
    for (int l = 0; l < 8; ++l) {
      const std::string line = random_line(r);
      const bool first_piece = r.below(6) != 0;
      const lex_state before = passes_lex;
      const std::string want = by_passes(line, passes_lex, first_piece);
      const std::string got = by_converter(line, converter_lex, first_piece);
      ASSERT_EQ(got, want) << settings_text() << " first piece " << first_piece << " round " << round;
      const auto body = [](std::string s) { return s.substr(0, s.find('\n')); };
      const std::string out_body = got.substr(0, got.find("\r\n"));
      const char* broken = broken_style_promise(body(line), out_body, first_piece, before);
      ASSERT_EQ(broken, nullptr) << broken << ": " << settings_text() << " round " << round;
      if (ign_str == 1) {
        ASSERT_EQ(converter_lex.quote, passes_lex.quote);
        ASSERT_EQ(converter_lex.in_block, passes_lex.in_block);
        ASSERT_EQ(converter_lex.escape, passes_lex.escape);
      }
    }
  }
}

TEST(Converter, StaysWithinItsBound) {
  const settings_guard restore;
  tab1 = 256;
  tab2 = 1;
  ign_str = 0;
  lex_state lex;
  const std::string line = std::string(508, '\t') + "x\n";
  const std::string out = by_converter(line, lex);
  EXPECT_EQ(out.size(), 508u * 256u + 3u);
  EXPECT_LE(out.size() + CONVERT_PAD, convert_bound(line.size(), tab1));
}

}  // namespace

namespace {

// Every vector version this machine can run, against the byte-at-a-time one.
template <bool CMode>
void expect_vectors_agree(const unsigned char* p, std::size_t n, int round) {
  using impl = void (*)(const unsigned char*, std::size_t, std::uint64_t*);
  std::vector<std::pair<const char*, impl>> impls = {{"classify", classify<CMode>}};
#if defined(MOREK_SSE2)
  impls.emplace_back("sse2", detail::classify_sse2<CMode>);
#endif
#if defined(MOREK_AVX2)
  if (__builtin_cpu_supports("avx2")) impls.emplace_back("avx2", detail::classify_avx2<CMode>);
#endif
  std::vector<std::uint64_t> want(mask_words(n));
  classify_bytewise<CMode>(p, n, want.data());
  for (const auto& [name, run] : impls) {
    std::vector<std::uint64_t> got(mask_words(n));
    run(p, n, got.data());
    // Bits past the last byte but one mean nothing: the last byte is always decided.
    for (std::size_t i = 0; i + 1 < n; ++i) {
      const std::uint64_t bit = std::uint64_t{1} << (i % 64);
      ASSERT_EQ(got[i / 64] & bit, want[i / 64] & bit)
          << name << (CMode ? " -c" : "") << ", byte " << i << " of round " << round;
    }
  }
}

TEST(Classify, VectorsAgreeWithBytes) {
  const settings_guard restore;
  rng r{0x5eed5eed5eed5eedULL};
  for (int round = 0; round < 2000; ++round) {
    std::string bytes;
    const int len = r.below(300);
    static const std::string alphabet(" \t\n\"'/*\\ax\x82\xb1\0", 14);
    for (int i = 0; i < len; ++i) bytes += alphabet[static_cast<std::size_t>(r.below(14))];
    bytes.append(CONVERT_PAD, '\0');
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto n = static_cast<std::size_t>(len);
    expect_vectors_agree<false>(p, n, round);
    expect_vectors_agree<true>(p, n, round);
  }
}

}  // namespace
