// The lexer of every language on random text: the first byte picks the
// language and whether the text is Shift-JIS, the second how lines are grouped into calls, the rest is lexed
// line by line, all at once, in groups of lines and in random pieces. The
// lexer that leaps between the bytes that matter must find the same
// literals as the plain one that looks at each byte, and the mask of a text
// must not depend on where between its lines it is cut into calls (forks,
// merges and the bound on readings included); none may crash or hang
// (libFuzzer's timeout holds the time to the input's length).
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.hpp"
#include "lexer.hpp"

using namespace morek;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const auto lang = static_cast<language>(data[0] % (static_cast<unsigned>(language::toml) + 1));
  const bool sjis = data[0] / (static_cast<unsigned>(language::toml) + 1) % 2 == 1;
  const std::size_t piece = 1 + data[1] % 64;
  const unsigned groups = data[1];  // two bits a call: 1 to 4 lines
  std::vector<unsigned char> text(data + 2, data + size);
  const std::size_t n = text.size();
  text.resize(n + LEXER_PAD);
  std::vector<std::uint64_t> fast(n / 64 + 2), plain(n / 64 + 2), pieces(n / 64 + 2), at_once(n / 64 + 2),
      grouped(n / 64 + 2);
  literal_lexer a, b, c, d, g;
  a.start(lang, sjis);
  b.start(lang, sjis);
  c.start(lang, sjis);
  d.start(lang, sjis);
  g.start(lang, sjis);
  d.scan<true>(text.data(), n, true, at_once.data(), 0);
  auto end_of_line = [&](std::size_t s) {
    const void* nl = std::memchr(text.data() + s, '\n', n - s);
    return nl != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - text.data()) + 1 : n;
  };
  for (std::size_t s = 0, call = 0; s < n; ++call) {
    std::size_t e = s;
    for (unsigned k = 0; k <= (groups >> (2 * (call % 4)) & 3) && e < n; ++k) e = end_of_line(e);
    g.scan<true>(text.data() + s, e - s, true, grouped.data(), s);
    s = e;
  }
  for (std::size_t s = 0; s < n;) {
    const std::size_t e = end_of_line(s);
    a.scan<true>(text.data() + s, e - s, true, fast.data(), s);
    b.scan<false>(text.data() + s, e - s, true, plain.data(), s);
    // The same line in pieces, as the filter reads a line longer than its buffer.
    for (std::size_t p = s; p < e; p += piece) {
      const std::size_t len = e - p < piece ? e - p : piece;
      c.scan<true>(text.data() + p, len, p == s, pieces.data(), p);
    }
    s = e;
  }
  check(fast == plain, "the leaping lexer finds what the plain one finds");
  check(fast == at_once, "lines lexed at once are lexed as one by one");
  check(fast == grouped, "lines lexed in groups are lexed as one by one");
  return 0;
}
