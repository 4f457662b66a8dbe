// .editorconfig text and a path: parsing and matching never crash, never
// take long, and agree with themselves: a file that is refused has no
// sections, a section glob that compiled matches the same way twice, and a
// glob with no special character matches exactly itself at any depth.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "editorconfig.hpp"
#include "fuzz_check.hpp"

using namespace morek;

namespace {

bool plain(std::string_view s) {
  for (char c : s)
    if (c == '*' || c == '?' || c == '[' || c == ']' || c == '{' || c == '}' || c == '\\' || c == '/' || c == '\n')
      return false;
  return !s.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The path is what follows the first NUL; the .editorconfig is before it.
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = all.find('\0');
  const std::string_view text = all.substr(0, nul);
  const std::string_view path = nul == std::string_view::npos ? std::string_view("a/b.c") : all.substr(nul + 1);

  const ec_file f = parse_editorconfig(text);
  if (!f.error.empty()) check(f.sections.empty(), "a refused file has no sections");
  for (const ec_file::section& s : f.sections) {
    const bool m = s.glob.matches(path);
    check(m == s.glob.matches(path), "matching is repeatable");
  }
  // A glob without special characters: the name itself, at any depth.
  const std::string_view name = text.substr(0, std::min<std::size_t>(text.size(), 64));
  if (plain(name)) {
    ec_glob g;
    std::string why;
    check(g.compile(name, why), "a plain name compiles");
    check(g.matches(name), "a plain name matches itself");
    check(g.matches("x/" + std::string(name)), "a plain name matches below");
    check(!g.matches(std::string(name) + "x"), "a plain name matches nothing longer");
  }
  return 0;
}
