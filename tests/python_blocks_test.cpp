// Python's blocks as the block reader finds them, against python3 itself:
// generated programs with tabs, spaces and form feeds mixed in their
// indentation, CR, LF and CR LF line ends, brackets, continuations, strings
// of every quoting and comments, each compiled and tokenized by Python, in
// one run of python3 for all of them.
#include "python_blocks.hpp"

#include <gtest/gtest.h>

#include "file_work.hpp"
#include "proof.hpp"

#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "python_gen.hpp"
#include "run_tool.hpp"

using namespace morek;

namespace {

// What Python makes of each text: "VERDICT|LINE|SEQUENCE", the verdict of
// compile() (ok, tab, dedent, indent, deep, syntax), the line it names, and
// the INDENT and DEDENT tokens of the tokenize module ("row:+1,row:-2"; "x"
// when it fails), on the text with its line ends made LFs as compile() makes
// them.
const char* const python_judge = R"(
import sys, io, tokenize
data = open(sys.argv[1], 'rb').read()
pos, out = 0, []
while pos < len(data):
    nl = data.index(b'\n', pos)
    n = int(data[pos:nl])
    src = data[nl + 1:nl + 1 + n]
    pos = nl + 1 + n
    try:
        compile(src, 't', 'exec')
        v = 'ok|0'
    except TabError as e:
        v = 'tab|%d' % e.lineno
    except IndentationError as e:
        kind = 'dedent' if 'unindent' in e.msg else 'deep' if 'too many' in e.msg else 'indent'
        v = '%s|%d' % (kind, e.lineno)
    except SyntaxError as e:
        v = 'syntax|%d' % (e.lineno or 0)
    except ValueError:
        v = 'value|0'
    text = src.replace(b'\r\n', b'\n').replace(b'\r', b'\n')
    try:
        seq, end = [], None
        for t in tokenize.tokenize(io.BytesIO(text).readline):
            if t.type == tokenize.INDENT:
                seq.append([t.start[0], 1])
            elif t.type == tokenize.DEDENT:
                if seq and seq[-1][0] == t.start[0] and seq[-1][1] < 0:
                    seq[-1][1] -= 1
                else:
                    seq.append([t.start[0], -1])
            elif t.type == tokenize.ENDMARKER:
                end = t.start[0]
        s = ','.join('%d:%d' % (r, c) for r, c in seq if r != end)
    except Exception:
        s = 'x'
    out.append(v + '|' + s)
print('\n'.join(out))
)";

bool have_python() { return std::system("python3 -c 'pass' >/dev/null 2>&1") == 0; }

// Python's answers, one line a text, from one run of python3.
std::vector<std::string> ask_python(const char* script, const std::vector<std::string>& texts, std::size_t each = 1) {
  scratch_dir s;
  std::string batch;
  for (const std::string& t : texts) batch += std::to_string(t.size()) + "\n" + t;
  const std::string in = s.write("batch", batch), program = s.write("judge.py", script), out = s.path("out");
  const std::string command = "python3 '" + program + "' '" + in + "' > '" + out + "' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << read_file(out);
  std::vector<std::string> lines;
  std::istringstream answers(read_file(out));
  for (std::string line; std::getline(answers, line);) lines.push_back(line);
  EXPECT_EQ(lines.size(), texts.size() / each) << read_file(out);
  return lines;
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t at; (at = s.find(sep, from)) != std::string::npos; from = at + 1) parts.push_back(s.substr(from, at - from));
  parts.push_back(s.substr(from));
  return parts;
}

python_blocks blocks_of(const std::string& text) {
  return read_python_blocks(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

// The block reader's INDENT and DEDENT tokens, as the judge writes them.
std::string sequence_of(const python_blocks& b) {
  std::string s;
  for (const python_step& st : b.steps) {
    if (st.change == 0) continue;
    if (!s.empty()) s += ',';
    s += std::to_string(st.py_line) + ":" + std::to_string(st.change);
  }
  return s;
}

// The first step whose indentation is inconsistent, by Python's line; 0 for none.
std::size_t first_inconsistent(const python_blocks& b) {
  for (const python_step& st : b.steps)
    if (!st.consistent) return st.py_line;
  return 0;
}

TEST(PythonBlocks, AsPythonReadsGeneratedPrograms) {
  if (!have_python()) GTEST_SKIP() << "no python3";
  std::mt19937 rng(29);
  std::vector<generated_python> programs;
  std::vector<std::string> texts;
  for (int k = 0; k < 1500; ++k) {
    programs.push_back(generate_python(rng));
    texts.push_back(programs.back().text);
  }
  const std::vector<std::string> answers = ask_python(python_judge, texts);
  ASSERT_EQ(answers.size(), texts.size());
  int verdicts[6] = {};  // ok, tab, dedent, indent, syntax, compared sequences
  for (std::size_t k = 0; k < texts.size(); ++k) {
    const std::vector<std::string> a = split(answers[k], '|');
    ASSERT_EQ(a.size(), 3u) << answers[k];
    const std::string& verdict = a[0];
    const std::size_t line = std::stoul(a[1]);
    const python_blocks b = blocks_of(texts[k]);
    const std::size_t inconsistent = first_inconsistent(b);
    const std::string where = "program " + std::to_string(k) + ": " + testing::PrintToString(texts[k]);
    if (verdict == "ok") {
      ++verdicts[0];
      EXPECT_EQ(b.stop, python_stop::none) << where;
      EXPECT_EQ(inconsistent, 0u) << where;
    } else if (verdict == "tab") {
      ++verdicts[1];
      EXPECT_EQ(inconsistent, line) << where;
      EXPECT_TRUE(b.stop == python_stop::none || b.stop_py_line >= line) << where;
    } else if (verdict == "dedent") {
      ++verdicts[2];
      EXPECT_EQ(b.stop, python_stop::dedent) << where;
      EXPECT_EQ(b.stop_py_line, line) << where;
      EXPECT_TRUE(inconsistent == 0 || inconsistent > line) << where;
    } else if (verdict == "indent") {
      // The parser's: nothing the tokenizer rejects before it.
      ++verdicts[3];
      EXPECT_TRUE(b.stop == python_stop::none || b.stop_py_line >= line) << where;
      EXPECT_TRUE(inconsistent == 0 || inconsistent >= line) << where;
    } else {
      ++verdicts[4];
      EXPECT_EQ(verdict, "syntax") << where;
      EXPECT_TRUE(programs[k].tokenizer_error) << where << "\n" << answers[k];
      EXPECT_NE(b.stop, python_stop::none) << where;
    }
    // The tokenize module reads a backslash in the indentation as the
    // compiler did not until lately: its blocks are compared without one.
    if (a[2] != "x" && b.stop == python_stop::none && !programs[k].backslash_in_indentation) {
      ++verdicts[5];
      EXPECT_EQ(sequence_of(b), a[2]) << where;
    }
  }
  // Every verdict is met, and most programs are compared token by token.
  for (int k = 0; k < 5; ++k) EXPECT_GT(verdicts[k], 20) << k;
  EXPECT_GT(verdicts[5], 800);
}

// What Python makes of a text and its conversion: "IN|OUT|SAME", whether
// each compiles (ok, or no), and whether both compile to the same tree.
const char* const pair_judge = R"(
import sys, ast
data = open(sys.argv[1], 'rb').read()
pos, texts = 0, []
while pos < len(data):
    nl = data.index(b'\n', pos)
    n = int(data[pos:nl])
    texts.append(data[nl + 1:nl + 1 + n])
    pos = nl + 1 + n
def tree(src):
    try:
        return ast.dump(compile(src, 't', 'exec', ast.PyCF_ONLY_AST))
    except (SyntaxError, ValueError):
        return None
out = []
for k in range(0, len(texts), 2):
    a, b = tree(texts[k]), tree(texts[k + 1])
    out.append('%s|%s|%d' % ('ok' if a else 'no', 'ok' if b else 'no', a is not None and a == b))
print('\n'.join(out))
)";

// Generated programs converted in several styles without the proof, and
// each conversion proven or refused: what the proof proves, Python runs the
// same, and what Python runs the same (from a program it takes) the proof
// proves.
TEST(PythonBlocks, ProofAgreesWithPythonOnConversions) {
  if (!have_python()) GTEST_SKIP() << "no python3";
  std::mt19937 rng(2929);
  std::vector<std::string> originals;
  for (int k = 0; k < 300; ++k) originals.push_back(generate_python(rng).text);
  struct style {
    int tab1, tab2, spaces_only, indent_only;
  };
  const style styles[] = {{4, 4, 0, 0}, {2, 8, 0, 0}, {8, 4, 0, 0}, {4, 4, 1, 0}, {8, 2, 0, 1}};
  std::vector<std::string> pairs;
  for (const style& st : styles) {
    file_settings fs;
    fs.tab1 = st.tab1;
    fs.tab2 = st.tab2;
    fs.spaces_only = st.spaces_only;
    fs.indent_only = st.indent_only;
    fs.utf8_input = 1;
    fs.line_ends = eol_mode::keep;
    for (const std::string& original : originals) {
      const file_verdict v = convert_file_text(
          {.bytes = original, .settings = fs, .lang = language::python, .kind = file_kind::python, .prove = false});
      ASSERT_NE(v.v, verdict::failed) << v.note;
      if (v.v != verdict::changed) continue;
      pairs.push_back(original);
      pairs.emplace_back(v.text.view());
    }
  }
  const std::vector<std::string> answers = ask_python(pair_judge, pairs, 2);
  ASSERT_EQ(answers.size() * 2, pairs.size());
  int proven = 0, refused_rightly = 0;
  for (std::size_t k = 0; k < answers.size(); ++k) {
    const std::string &in = pairs[2 * k], &out = pairs[2 * k + 1];
    const std::vector<std::string> a = split(answers[k], '|');
    ASSERT_EQ(a.size(), 3u);
    const bool in_ok = a[0] == "ok", out_ok = a[1] == "ok", same = a[2] == "1";
    const proof p = prove_conversion(in, out, language::python, file_kind::python);
    const std::string where = testing::PrintToString(in) + "\n" + testing::PrintToString(out) + "\n" + answers[k] +
                              " line " + std::to_string(p.line) + ": " + std::string(p.why);
    if (p.proven()) {
      ++proven;
      if (in_ok) {
        EXPECT_TRUE(out_ok && same) << where;
      }
    } else {
      if (in_ok && (!out_ok || !same)) ++refused_rightly;
      if (in_ok && out_ok) {
        EXPECT_FALSE(same) << where;
      }
    }
  }
  EXPECT_GT(proven, 100);
  EXPECT_GT(refused_rightly, 50);
}

struct block_case {
  const char* name;
  std::string text;
  std::string sequence;   // as sequence_of writes it
  python_stop stop;
  std::size_t inconsistent;  // Python's line, 0 for none
};
void PrintTo(const block_case& c, std::ostream* os) { *os << c.name; }

class PythonBlockRows : public testing::TestWithParam<block_case> {};

// Rows for what the generator meets seldom; fed whole and a byte at a time.
TEST_P(PythonBlockRows, AsTheTokenizerReadsThem) {
  const block_case& c = GetParam();
  python_block_reader bytes;
  for (const char ch : c.text) bytes.feed(reinterpret_cast<const unsigned char*>(&ch), 1);
  for (const python_blocks& b : {blocks_of(c.text), bytes.finish()}) {
    EXPECT_EQ(sequence_of(b), c.sequence);
    EXPECT_EQ(b.stop, c.stop);
    EXPECT_EQ(first_inconsistent(b), c.inconsistent);
  }
}

// A hundred "if"s, each a column deeper, and a line one deeper still.
std::string deep_program() {
  std::string s;
  for (int k = 0; k < 100; ++k) s += std::string(static_cast<std::size_t>(k), ' ') + "if x:\n";
  return s + std::string(100, ' ') + "y\n";
}
std::string deep_sequence() {
  std::string s;
  for (int line = 2; line <= 100; ++line) s.append(s.empty() ? "" : ",").append(std::to_string(line)).append(":1");
  return s;
}

const block_case block_cases[] = {
    {"cr_alone_ends_a_line", "if x:\r    y\r  z\r", "2:1", python_stop::dedent, 0},
    {"cr_lf_is_one_line_end", "if x:\r\n    y\r\n\r\nz\r\n", "2:1,4:-1", python_stop::none, 0},
    {"form_feed_resets_the_column", "if x:\n    y\n  \f    z\n", "2:1", python_stop::none, 0},
    {"form_feed_within_the_indentation", "if x:\n    y\n    \fz\n", "2:1,3:-1", python_stop::none, 0},
    {"form_feed_after_text_is_a_blank", "if x:\n    y\n    z\f= 1\n", "2:1", python_stop::none, 0},
    {"backslash_at_column_0_takes_the_next_line", "if x:\n  y\n\\\n  z\n", "2:1", python_stop::none, 0},
    {"backslash_after_blanks_decides", "if x:\n    y\n  \\\n    z\n", "2:1", python_stop::dedent, 0},
    {"backslash_column_at_both_sizes", "if x:\n\ty\n\t\\\n\tz\n", "2:1", python_stop::none, 4},
    {"first_backslash_decides", "if x:\n    y\n    \\\n  \\\n    z\n", "2:1", python_stop::none, 0},
    {"backslash_at_column_0_then_another", "if x:\n\ty\n\\\n\t\\\n  z\n", "2:1", python_stop::none, 5},
    {"backslash_then_blank", "x = 1 + \\ \n2\n", "", python_stop::continuation, 0},
    {"backslash_at_the_end", "if x:\n    y\n  \\", "2:1", python_stop::end_of_text, 0},
    {"bom_then_indentation", "\xEF\xBB\xBF  x\n", "1:1", python_stop::none, 0},
    {"bracket_closing_nothing", "x = 1)\n  y\n", "", python_stop::brackets, 0},
    {"bracket_of_another_kind", "x = (1]\n", "", python_stop::brackets, 0},
    {"brackets_left_open", "x = (1,\n", "", python_stop::end_of_text, 0},
    {"single_quote_left_open", "x = 'abc\n  y\n", "", python_stop::unterminated, 0},
    {"triple_quote_left_open", "x = '''abc\n  y\n", "", python_stop::unterminated, 0},
    {"escaped_cr_lf_in_a_string", "s = 'a\\\r\n  b'\nif s:\n  t\n", "4:1", python_stop::none, 0},
    {"four_quotes_close_three", "s = \"\"\"a\"\"\"\"\"\nif s:\n\tt\n", "3:1", python_stop::none, 0},
    {"empty_string_then_code", "s = ''\nif s:\n  t\n", "3:1", python_stop::none, 0},
    {"blank_last_line_without_end", "if x:\n    y\n  ", "2:1", python_stop::none, 0},
    {"tab_then_eight_spaces", "if x:\n\ty\n        z\n", "2:1", python_stop::none, 3},
    {"deeper_at_8_not_at_1", "if x:\n        y\n\tif z:\n\t w\n", "2:1,4:1", python_stop::none, 3},
    {"hundred_levels", deep_program(), deep_sequence(), python_stop::too_deep, 0},
};
INSTANTIATE_TEST_SUITE_P(Table, PythonBlockRows, testing::ValuesIn(block_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
