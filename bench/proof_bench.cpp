// What the proof costs: reads pairs of files (an original and its
// conversion, one pair a line of the list, separated by a tab), then proves
// every conversion in each language and kind its name gives, and prints the
// seconds that took, the files, and those left unproven. The reading is not
// timed: a conversion has both texts in memory when it proves.
//   morek_proof_bench LIST [ROUNDS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kinds.hpp"
#include "languages.hpp"
#include "proof.hpp"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

struct pair {
  std::string in, out;
  morek::language lang;
  morek::file_kind kind;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: morek_proof_bench LIST [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 1;
  std::vector<pair> pairs;
  std::ifstream list(argv[1]);
  for (std::string line; std::getline(list, line);) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    const std::string a = line.substr(0, tab), b = line.substr(tab + 1);
    pair p{slurp(a), slurp(b), morek::language::text, morek::file_kind::other};
    const std::string base = a.substr(a.rfind('/') + 1);
    const std::string_view head = std::string_view(p.in).substr(0, 256);
    p.kind = morek::kind_of(base, head);
    p.lang = p.kind == morek::file_kind::yaml ? morek::language::yaml : morek::language_of(base, head);
    pairs.push_back(std::move(p));
  }
  std::size_t unproven = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r)
    for (const pair& p : pairs) unproven += !morek::prove_conversion(p.in, p.out, p.lang, p.kind).proven();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%.6f %zu %zu\n", took.count() / rounds, pairs.size(), unproven / static_cast<std::size_t>(rounds));
  return 0;
}
