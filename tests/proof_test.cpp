// The proof that a conversion kept a text's meaning: rows for each rule, a
// randomized test that changes what a conversion may change (and must be
// proven) or what it may not (and must be refused at its line), the
// converter's own results proven in every style, and Python's verdict on
// converted programs against the proof's.
#include "proof.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "lexer.hpp"
#include "python_gen.hpp"
#include "random_source.hpp"
#include "run_tool.hpp"

using namespace morek;

namespace {

struct proof_case {
  const char* name;
  language lang;
  file_kind kind;
  std::string in, out;
  std::size_t line;  // 0: proven
  const char* why;
};
void PrintTo(const proof_case& c, std::ostream* os) { *os << c.name; }

class Proof : public testing::TestWithParam<proof_case> {};

TEST_P(Proof, NamesTheFirstLineThatDiffers) {
  const proof_case& c = GetParam();
  const proof p = prove_conversion(c.in, c.out, c.lang, c.kind);
  EXPECT_EQ(p.line, c.line);
  EXPECT_EQ(p.why, c.why);
}

constexpr language text = language::text;
constexpr file_kind other = file_kind::other;

const proof_case proof_cases[] = {
    // What a conversion may change.
    {"same", text, other, "a\n", "a\n", 0, ""},
    {"blank_runs_retabulated", text, other, "\tint  x;\n  y\n", "    int\tx;\n\t\ty\n", 0, ""},
    {"trailing_blanks_cut", text, other, "a  \n \t\nb\t", "a\n\nb", 0, ""},
    {"line_ends_made_lf", text, other, "a\r\nb\r\r\nc\n", "a\nb\nc\n", 0, ""},
    {"line_ends_made_crlf", text, other, "a\nb\n", "a\r\nb\r\n", 0, ""},
    {"cr_that_blanks_kept_from_the_end", text, other, "x\r \r\n", "x\n", 0, ""},
    {"final_newline_added", text, other, "a\nb", "a\nb\n", 0, ""},
    {"final_newlines_taken_away", text, other, "a\n\n \n\r\n", "a", 0, ""},
    {"empty", text, other, "", "", 0, ""},
    // What it may not.
    {"a_byte_changed", text, other, "a\nbc\n", "a\nbd\n", 2, "its text would change"},
    {"a_blank_run_gone", text, other, "a\nb c\n", "a\nbc\n", 2, "its text would change"},
    {"a_blank_run_added", text, other, "a\nbc\n", "a\nb c\n", 2, "its text would change"},
    {"indentation_gone", text, other, "a\n  b\n", "a\nb\n", 2, "its text would change"},
    {"a_lone_cr_taken", text, other, "a\rb\n", "ab\n", 1, "its text would change"},
    {"a_line_taken_away", text, other, "a\nb\n", "a\n", 2, "a line would be taken away"},
    {"a_line_added", text, other, "a\n", "a\nb\n", 2, "a line would be added"},
    {"lines_joined", text, other, "a\nb\n", "ab\n", 1, "its text would change"},
    {"empty_made_a_line", text, other, "", "\n", 1, "a line would be added"},
    // Literals, as the language's lexer reads both texts.
    {"c_literal_kept", language::c, other, "\ts = \"a\t b\";\n", "    s = \"a\t b\";\n", 0, ""},
    {"c_literal_changed", language::c, other, "x;\n\ts = \"a\t b\";\n", "x;\n    s = \"a    b\";\n", 2,
     "a literal would change"},
    {"literal_over_lines_with_new_line_ends", language::python, other, "s = '''a \r\n  b'''\r\n", "s = '''a \n  b'''\n", 0,
     ""},
    {"literal_trailing_blanks_cut", language::python, other, "s = '''a  \n  b'''\n", "s = '''a\n  b'''\n", 1,
     "a literal would change"},
    {"js_string_changed", language::js, other, "a = b\n/ 2; x = '  '\n", "a = b\n/ 2; x = '\t'\n", 2,
     "a literal would change"},
    {"yaml_block_scalar_changed", language::yaml, file_kind::yaml, "a: |\n  x\n  \ty\n", "a: |\n  x\n    y\n", 3,
     "a literal would change"},
    // Makefiles.
    {"recipe_line_kept", text, file_kind::makefile, "all:\n\techo  a\n", "all:\n\techo a\n", 2,
     "a recipe line would change"},
    {"recipe_line_begun", text, file_kind::makefile, "all:\n        x = 1\n", "all:\n\tx = 1\n", 2,
     "a recipe line would begin"},
    {"indentation_to_spaces", text, file_kind::makefile, " \tifdef A\n", "        ifdef A\n", 0, ""},
    {"value_blanks_kept", text, file_kind::makefile, "X = a  b   # c\n", "X = a\tb   # c\n", 1,
     "a makefile value would change"},
    {"value_end_kept", text, file_kind::makefile, "X = a  \n", "X = a\n", 1, "a makefile value would change"},
    {"rule_end_cut", text, file_kind::makefile, "all: a  \n\ttrue\n", "all: a\n\ttrue\n", 0, ""},
    {"mid_line_blanks_kept", text, file_kind::makefile, "all:  a\n", "all:\ta\n", 1, "a makefile line would change"},
    {"continuation_kept", text, file_kind::makefile, "X = a \\\n    b\n", "X = a \\\n\tb\n", 2,
     "a makefile line would change"},
    {"define_body_kept", text, file_kind::makefile, "define T\n    a  b\nendef\n  x = 1\n", "define T\n\ta  b\nendef\n  x = 1\n",
     2, "a makefile line would change"},
    {"after_endef_converted", text, file_kind::makefile, "define T\n a\nendef\n \tifdef X\n", "define T\n a\nendef\n        ifdef X\n",
     0, ""},
    {"empty_recipe_kept", text, file_kind::makefile, "all:\n\t\n", "all:\n\n", 2, "a recipe line would change"},
    // YAML.
    {"yaml_indentation_tabbed", language::yaml, file_kind::yaml, "a:\n    b: 1\n", "a:\n\tb: 1\n", 2,
     "YAML's indentation would change"},
    {"yaml_value_blanks", language::yaml, file_kind::yaml, "a:\n    b:   1\n", "a:\n    b:\t1\n", 0, ""},
    {"yaml_by_kind_as_text", text, file_kind::yaml, "a:\n  b: 1\n", "a:\n\tb: 1\n", 2, "YAML's indentation would change"},
    // Python: two depths on one column under 4 4, a line moved into another
    // block under 2 8 (the program still compiles), a form feed that the
    // converter took for a character, a CR alone that ends a line.
    {"python_two_depths_on_one_column", text, file_kind::python, "if a:\n    \tif b:\n   \t \tx = 1\n",
     "if a:\n\t\tif b:\n\t\tx = 1\n", 3, "Python's blocks would change"},
    {"python_line_moved_to_another_block", text, file_kind::python,
     "if a:\n  \tif b:\n  \t\tx = 1\n \t \ty = 2\n", "if a:\n    if b:\n      x = 1\n    y = 2\n", 4,
     "Python's blocks would change"},
    {"python_form_feed", text, file_kind::python, "if a:\n    x = 1\n\f    y = 2\n", "if a:\n    x = 1\n\f\t y = 2\n", 3,
     "Python's blocks would change"},
    {"python_cr_alone", text, file_kind::python, "if a:\r    x = 1\r    y = 2\n", "if a:\r    x = 1\r\ty = 2\n", 1,
     "Python's blocks would change"},
    {"python_consistent_made_inconsistent", text, file_kind::python, "if a:\n        x = 1\n        y = 2\n",
     "if a:\n        x = 1\n\ty = 2\n", 3, "Python would reject its indentation"},
    {"python_inconsistent_made_consistent", text, file_kind::python, "if a:\n        x = 1\n\ty = 2\n",
     "if a:\n        x = 1\n        y = 2\n", 0, ""},
    {"python_dedent_to_no_level", text, file_kind::python, "if a:\n    x = 1\ny = 2\n", "if a:\n    x = 1\n  y = 2\n", 3,
     "Python would reject its indentation"},
    {"python_by_language", language::python, other, "if a:\n\tx = 1\n", "if a:\n    x = 1\n", 0, ""},
    // A CR alone ends the comment: what follows is a string, whatever the
    // lexer made of it; its line ends compare as Python reads them.
    {"python_string_after_a_cr", text, file_kind::python, "x = 1  # c\rs = '''a\r\t b'''\n",
     "x = 1  # c\rs = '''a\r     b'''\n", 1, "a literal would change"},
    {"python_string_line_ends", text, file_kind::python, "s = '''a\r\n b'''\n", "s = '''a\n b'''\n", 0, ""},
};
INSTANTIATE_TEST_SUITE_P(Table, Proof, testing::ValuesIn(proof_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

std::size_t line_of(const std::string& s, std::size_t at) {
  std::size_t line = 1;
  for (std::size_t k = 0; k < at && k < s.size(); ++k) line += s[k] == '\n';
  return line;
}

// Where a position of s may take a change: byte k is neither an LF nor a CR.
std::size_t random_byte(std::mt19937& rng, const std::string& s, bool want_blank) {
  for (int tries = 0; tries < 200; ++tries) {
    const std::size_t k = rng() % s.size();
    if (s[k] != '\n' && s[k] != '\r' && blank(s[k]) == want_blank) return k;
  }
  return std::string::npos;
}

const language proof_languages[] = {language::text, language::c,      language::java, language::js,   language::go,
                                    language::rust, language::python, language::shell, language::ruby, language::perl,
                                    language::php,  language::yaml,   language::kotlin, language::csharp};

// A change a conversion may not make, at a known place: the proof refuses
// it, at that line or, where the lexer's reading of something earlier
// depends on it, before.
TEST(ProofRandomized, RefusesWhatNoConversionMakes) {
  std::mt19937 rng(2929);
  int refused = 0;
  for (int round = 0; round < 4000; ++round) {
    const language lang = proof_languages[round % std::size(proof_languages)];
    const std::string in = random_source(rng);
    std::string out = in;
    std::size_t at = std::string::npos;
    switch (rng() % 4) {
      case 0:  // another byte
        at = random_byte(rng, in, false);
        if (at != std::string::npos) out[at] = out[at] == 'x' ? 'y' : 'x';
        break;
      case 1:  // a run of blanks between two other bytes gone
        at = random_byte(rng, in, true);
        if (at != std::string::npos) {
          std::size_t from = at, to = at;
          while (from > 0 && blank(in[from - 1])) --from;
          while (to < in.size() && blank(in[to])) ++to;
          if (from == 0 || in[from - 1] == '\n' || to == in.size() || in[to] == '\n' || in[to] == '\r') {
            at = std::string::npos;
          } else {
            out.erase(from, to - from);
            at = from;
          }
        }
        break;
      case 2:  // a blank between two other bytes
        at = random_byte(rng, in, false);
        if (at != std::string::npos && at > 0 && !blank(in[at - 1]) && in[at - 1] != '\n')
          out.insert(at, 1, rng() % 2 == 0 ? ' ' : '\t');
        else
          at = std::string::npos;
        break;
      default:  // a line of text more
        at = in.find('\n', rng() % in.size());
        if (at != std::string::npos) out.insert(at + 1, "z\n");
        if (at != std::string::npos) ++at;
        break;
    }
    if (at == std::string::npos) continue;
    const proof p = prove_conversion(in, out, lang, file_kind::other);
    ASSERT_FALSE(p.proven()) << forms_of(lang).name << "\n" << testing::PrintToString(in) << "\n" << testing::PrintToString(out);
    EXPECT_GE(p.line, 1u);
    EXPECT_LE(p.line, line_of(in, at)) << forms_of(lang).name << " " << p.why << "\n"
                                       << testing::PrintToString(in) << "\n" << testing::PrintToString(out);
    ++refused;
  }
  EXPECT_GT(refused, 3000);
}

// What a conversion may do, done at random to texts whose lexers do not
// look at blanks: new runs of blanks for old, trailing blanks cut, line ends
// as LF or CR LF, a final line end added or taken away. Proven, every one.
TEST(ProofRandomized, ProvesWhatAConversionMayDo) {
  std::mt19937 rng(929);
  const language langs[] = {language::text, language::c, language::java, language::go};
  const char* const blanks[] = {" ", "  ", "\t", "\t ", "        "};
  for (int round = 0; round < 3000; ++round) {
    const language lang = langs[round % std::size(langs)];
    const std::string in = random_source(rng);
    std::vector<std::uint64_t> lit((in.size() + 16) / 64 + 2, 0);
    std::string padded = in + std::string(LEXER_PAD, '\0');
    literal_lexer lexer;
    lexer.start(lang);
    if (lang != language::text) lexer.scan(reinterpret_cast<const unsigned char*>(padded.data()), in.size(), true, lit.data(), 0);
    auto literal = [&](std::size_t k) { return ((lit[k / 64] >> (k % 64)) & 1) != 0; };
    std::string out;
    for (std::size_t k = 0; k < in.size();) {
      if (blank(in[k]) && !literal(k)) {
        std::size_t e = k;
        while (e < in.size() && blank(in[e]) && !literal(e)) ++e;
        const bool trailing = e == in.size() || in[e] == '\n' || in[e] == '\r';
        if (!(trailing && rng() % 2 == 0)) out += rng() % 3 == 0 ? in.substr(k, e - k) : blanks[rng() % std::size(blanks)];
        k = e;
      } else if (in[k] == '\n' && rng() % 3 == 0) {
        if (!out.empty() && out.back() == '\r' && !literal(k - 1))
          out.pop_back();
        else
          out += '\r';
        out += in[k++];
      } else {
        out += in[k++];
      }
    }
    // At the end, outside a literal (a line end added to one, or taken from
    // it, changes it).
    const bool ends_in_literal = literal(in.size() - 1);
    if (!ends_in_literal && (out.empty() || out.back() != '\n')) {
      if (rng() % 2 == 0) out += '\n';
    } else if (!ends_in_literal && rng() % 4 == 0) {
      while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    }
    const proof p = prove_conversion(in, out, lang, file_kind::other);
    EXPECT_TRUE(p.proven()) << forms_of(lang).name << " line " << p.line << ": " << p.why << "\n"
                            << testing::PrintToString(in) << "\n" << testing::PrintToString(out);
  }
}

}  // namespace
