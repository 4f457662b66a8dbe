// The message formatter on random formats within its contract (conversions
// c d x f s and unknown ones, no lone '%' at the end, at most four
// arguments): it never writes past its buffer, and a message that fits is
// what the standard formatter makes of the same conversions.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "errmsg.hpp"
#include "test_support.hpp"

using namespace morek;

namespace {

struct conversion {
  char kind;  // 'i' int, 'f' double, 's' string
  int i;
  double f;
  std::string s;
};

std::string result;

template <class... A>
void call(const std::string& fmt, const std::vector<conversion>& convs, std::size_t k, A... args) {
  if (k == convs.size()) {
    result = edit(fmt.c_str(), args...);
    return;
  }
  if constexpr (sizeof...(A) < 4) {
    const conversion& c = convs[k];
    if (c.kind == 'f')
      call(fmt, convs, k + 1, args..., c.f);
    else if (c.kind == 's')
      call(fmt, convs, k + 1, args..., c.s.c_str());
    else
      call(fmt, convs, k + 1, args..., c.i);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string fmt, expected;
  std::vector<conversion> convs;
  std::size_t i = 0;
  auto take = [&]() -> std::uint8_t { return i < size ? data[i++] : 0; };
  while (i < size && fmt.size() < 2000) {
    const char c = static_cast<char>(take());
    if (c == '\0') continue;
    if (c != '%') {
      fmt += c;
      expected += c;
      continue;
    }
    if (convs.size() == 4) continue;
    const char k = static_cast<char>(take());
    if (k == '\0') continue;
    fmt += '%';
    fmt += k;
    conversion conv{};
    char buf[400];
    switch (k) {
      case 'c':
        conv = {'i', static_cast<int>(take()) | 1, 0, ""};  // a NUL %c would end the text early
        expected += static_cast<char>(conv.i);
        break;
      case 'd':
      case 'x': {
        std::int32_t v = 0;
        for (int b = 0; b < 4; ++b) v = static_cast<std::int32_t>((static_cast<std::uint32_t>(v) << 8) | take());
        conv = {'i', v, 0, ""};
        std::snprintf(buf, sizeof buf, k == 'd' ? "%d" : "%x", v);
        expected += buf;
        break;
      }
      case 'f': {
        const double v = static_cast<double>(static_cast<std::int8_t>(take())) * 1.25e3 + take() / 7.0;
        conv = {'f', 0, v, ""};
        std::snprintf(buf, sizeof buf, "%f", v);
        expected += buf;
        break;
      }
      case 's': {
        const std::size_t len = take() * 8u;
        for (std::size_t n = 0; n < len && i < size; ++n) {
          const char b = static_cast<char>(take());
          if (b != '\0') conv.s += b;
        }
        conv.kind = 's';
        expected += conv.s;
        break;
      }
      default:
        conv = {'i', 0, 0, ""};
        expected += '?';
        expected += k;
        break;
    }
    convs.push_back(conv);
  }
  call(fmt, convs, 0);
  if (result.size() > ERRMSG_SIZE - 1) std::abort();
  if (expected.size() <= ERRMSG_SIZE - 1 && result != expected) {
    std::fprintf(stderr, "format %s\nwant %s\ngot  %s\n", fmt.c_str(), expected.c_str(), result.c_str());
    std::abort();
  }
  return 0;
}
