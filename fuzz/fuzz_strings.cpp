// The string and path helpers on random bytes: StrCmp is an order
// (antisymmetric, transitive), Strchr and Strrchr land on the first byte of
// a character and never on the second byte of a pair, sepname's head, the
// separator it cut and its tail give back the pattern, and findExt points
// into the final path component.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.hpp"
#include "path.hpp"
#include "sjis.hpp"

using namespace morek;

namespace {

// Offsets where characters start, as the searches walk.
std::vector<std::size_t> char_starts(const std::string& s) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < s.size();) {
    starts.push_back(i);
    i += sjis_lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
  }
  return starts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Three NUL-separated strings, and a character from the front.
  if (size < 1) return 0;
  const int ch = data[0];
  std::vector<std::string> parts(3);
  std::size_t k = 0;
  for (std::size_t i = 1; i < size; ++i) {
    if (data[i] == 0) {
      if (++k == 3) break;
      continue;
    }
    parts[k] += static_cast<char>(data[i]);
  }
  const std::string &a = parts[0], &b = parts[1], &c = parts[2];

  const int ab = StrCmp(a.c_str(), b.c_str()), ba = StrCmp(b.c_str(), a.c_str());
  check(ab == -ba && ab >= -1 && ab <= 1, "StrCmp is antisymmetric");
  const int bc = StrCmp(b.c_str(), c.c_str()), ac = StrCmp(a.c_str(), c.c_str());
  if (ab <= 0 && bc <= 0) check(ac <= 0, "StrCmp is transitive");
  if (ab == 0 && bc == 0) check(ac == 0, "StrCmp equality is transitive");

  const auto starts = char_starts(a);
  auto on_start = [&](const char* p) {
    if (p == nullptr) return true;
    const auto off = static_cast<std::size_t>(p - a.c_str());
    for (std::size_t s : starts)
      if (s == off) return static_cast<unsigned char>(a[off]) == static_cast<unsigned char>(ch);
    return false;
  };
  const char* first = Strchr(a.c_str(), ch);
  const char* last = Strrchr(a.c_str(), ch);
  check(on_start(first) && on_start(last), "Strchr and Strrchr land on a character's first byte");
  check((first == nullptr) == (last == nullptr) && (first == nullptr || first <= last), "Strchr comes first");

  std::string pattern = b;
  std::vector<char> head(pattern.size() + 1), tail(pattern.size() + 1);
  sepname(pattern.data(), head.data(), tail.data());
  const std::string h = head.data(), t = tail.data();
  check(h == pattern.c_str(), "sepname leaves the pattern equal to the head");
  if (h.size() < b.size())
    check(h + "\\" + t == b, "head, separator and tail give back the pattern");
  else
    check(t.empty() && h == b, "an uncut pattern is all head");

  if (const char* dot = findExt(c.c_str())) {
    const char* sep = Strrchr(c.c_str(), '\\');
    check(*dot == '.' && (sep == nullptr || dot > sep), "the extension is in the final component");
  }

  std::string up = a, low = a;
  to_upper(up.data());
  to_lower(low.data());
  check(StrCmp(up.c_str(), a.c_str()) == 0 && StrCmp(low.c_str(), a.c_str()) == 0, "case mapping keeps the order");
  return 0;
}
