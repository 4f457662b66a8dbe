// The line passes in isolation, on lines like those of real source files.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "convert.hpp"
#include "expand.hpp"
#include "retab.hpp"

using namespace morek;

namespace {

const std::vector<std::string>& sample_lines() {
  static const std::vector<std::string> lines = {
      "\t\t\tsize_t        item = 761;\t/* item the i */\n",
      "    printf(\"count i\", count);\t\t/* len the i */\n",
      "\t\tif (status > next) {\n",
      "        key->n = 'x';\n",
      "\tstruct node *        n = 634;\n",
      "\t\t\t\tfor (i = 0; flags < 10; ++status) { // value is offset   \n",
      " * \x83\x65\x83\x58\x83\x67 generated\n",
      "}\n",
      "\n",
  };
  return lines;
}

std::size_t total_bytes() {
  std::size_t n = 0;
  for (const auto& l : sample_lines()) n += l.size();
  return n;
}

struct null_sink {
  std::size_t n = 0;
  void put(unsigned char) { ++n; }
  void newline() { n += 2; }
  void tabs(std::size_t k) { n += k; }
  void spaces(std::size_t k) { n += k; }
};

void two_passes(benchmark::State& state) {
  tab1 = 8;
  tab2 = 4;
  ign_str = static_cast<int>(state.range(0));
  std::vector<unsigned char> exp(8192), flg(8192);
  lex_state lex;
  null_sink out;
  for (auto _ : state) {
    for (const auto& l : sample_lines()) {
      const std::size_t n =
          expand_line({reinterpret_cast<const unsigned char*>(l.data()), l.size()}, exp.data(), flg.data(), lex);
      retab_line({exp.data(), n}, flg.data(), out);
    }
    benchmark::DoNotOptimize(out.n);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * total_bytes()));
}
BENCHMARK(two_passes)->Arg(0)->Arg(1);

void fused_converter(benchmark::State& state) {
  tab1 = 8;
  tab2 = 4;
  ign_str = static_cast<int>(state.range(0));
  std::vector<std::string> padded;
  for (const auto& l : sample_lines()) padded.push_back(l + std::string(CONVERT_PAD, '\0'));
  std::vector<unsigned char> out(convert_bound(512, tab1));
  lex_state lex;
  for (auto _ : state) {
    for (std::size_t i = 0; i < padded.size(); ++i) {
      const auto& l = padded[i];
      unsigned char* end =
          convert_line(reinterpret_cast<const unsigned char*>(l.data()), sample_lines()[i].size(), lex, out.data());
      benchmark::DoNotOptimize(end);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * total_bytes()));
}
BENCHMARK(fused_converter)->Arg(0)->Arg(1);

}  // namespace
