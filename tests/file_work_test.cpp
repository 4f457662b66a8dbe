// One file's work from its bytes to a verdict, the lines a selection takes
// from the conversion, the regions left alone, and what is found wrong on
// the lines that change: tables of inputs and what must come of them, and
// random files against plain models of the regions and of the lines that
// change.
#include "file_work.hpp"

#include "changes.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <cctype>
#include <cstring>
#include <algorithm>
#include <random>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "regions.hpp"
#include "test_support.hpp"

using namespace morek;

namespace {

file_settings widths(int tab1, int tab2) {
  file_settings s;
  s.tab1 = tab1;
  s.tab2 = tab2;
  s.utf8_input = 1;
  s.line_ends = eol_mode::keep;
  return s;
}

file_settings indent_spaces(int tab) {
  file_settings s = widths(tab, tab);
  s.spaces_only = 1;
  s.indent_only = 1;
  return s;
}

file_settings indent_tabs(int tab) {
  file_settings s = widths(tab, tab);
  s.indent_only = 1;
  return s;
}

file_settings trimmed(file_settings s) {
  s.trim = true;
  return s;
}

file_settings with_final(file_settings s, final_newline f, eol_mode ends = eol_mode::keep) {
  s.final = f;
  s.line_ends = ends;
  return s;
}

struct work_case {
  const char* name;
  std::string in;
  file_settings settings;
  language lang;
  file_kind kind;
  verdict v;
  std::string out;  // changed: the new text; unproven, binary, failed: the note's start
};
void PrintTo(const work_case& c, std::ostream* os) { *os << c.name; }

class FileWork : public testing::TestWithParam<work_case> {};

TEST_P(FileWork, GivesItsVerdict) {
  const work_case& c = GetParam();
  const file_verdict got = convert_file_text({.bytes = c.in, .settings = c.settings, .lang = c.lang, .kind = c.kind});
  ASSERT_EQ(got.v, c.v) << got.note;
  if (c.v == verdict::changed) {
    EXPECT_EQ(got.text.view(), c.out);
    EXPECT_EQ(got.note, "");
  } else {
    EXPECT_EQ(got.text.size(), 0u);
    EXPECT_EQ(got.note.substr(0, c.out.size()), c.out);
    if (c.v != verdict::same) {
      EXPECT_TRUE(got.note.ends_with("; left as it is")) << got.note;
    }
  }
}

const work_case work_cases[] = {
    {"same_when_converted", "\t\tx\n", widths(4, 4), language::text, file_kind::other, verdict::same, ""},
    {"same_when_empty", "", with_final(widths(8, 4), final_newline::insert), language::text, file_kind::other,
     verdict::same, ""},
    {"changed_by_trailing_blanks_at_the_end", "x\ny  ", widths(8, 8), language::text, file_kind::other,
     verdict::changed, "x\ny"},
    {"line_ends_kept", "\tx\r\n\ty\n\tz\r", widths(8, 4), language::text, file_kind::other, verdict::changed,
     "\t\tx\r\n\t\ty\n\t\tz\r"},
    {"nul_is_binary", std::string("\tx\n\0", 4), widths(8, 4), language::text, file_kind::other, verdict::binary,
     "holds a NUL byte"},
    {"utf16_bom_is_binary", "\xff\xfe\tx\n", widths(8, 4), language::text, file_kind::other, verdict::binary,
     "begins with a UTF-16"},
    {"utf16_big_endian_bom_is_binary", "\xfe\xff\tx\n", widths(8, 4), language::text, file_kind::other,
     verdict::binary, "begins with a UTF-16"},
    {"utf8_bom_is_text", "\xef\xbb\xbf\tx\n", widths(8, 4), language::text, file_kind::other, verdict::changed,
     "\xef\xbb\xbf\t\tx\n"},
    {"literal_kept_in_its_language", "\ts = \"a\t\tb\";\n", widths(8, 4), language::c, file_kind::other,
     verdict::changed, "\t\ts = \"a\t\tb\";\n"},
    {"literal_converted_as_text", "\ts = \"a\t\tb\";\n", widths(8, 4), language::text, file_kind::other,
     verdict::changed, "\t\ts = \"a\t\t\tb\";\n"},
    {"recipe_keeps_its_tab", "all:\n\techo  a\n", indent_spaces(4), language::text, file_kind::makefile,
     verdict::same, ""},
    {"python_mix_unproven", "def f():\n    if x:\n        return 1\n", indent_tabs(8), language::python,
     file_kind::python, verdict::unproven, "line 3: "},
    {"python_consistent_converted", "def f():\n    if x:\n        return 1\n", indent_tabs(4), language::python,
     file_kind::python, verdict::changed, "def f():\n\tif x:\n\t\treturn 1\n"},
    {"yaml_indentation_never_gains_a_tab", "a:\n        b: 1\n", indent_tabs(8), language::yaml, file_kind::yaml,
     verdict::same, ""},
    {"yaml_indentation_kept_as_it_is", "a:\n\tb: 1\n", indent_spaces(2), language::yaml, file_kind::yaml,
     verdict::same, ""},
    {"yaml_blanks_after_a_key_never_a_tab", "a:\n  b:       1\n  c:\t1\n", widths(8, 8), language::yaml, file_kind::yaml,
     verdict::changed, "a:\n  b:       1\n  c:    1\n"},
    // The line end at the end of the file.
    {"final_inserted_of_the_files_kind", "a\r\nb", with_final(widths(8, 8), final_newline::insert),
     language::text, file_kind::other, verdict::changed, "a\r\nb\r\n"},
    {"final_inserted_lf_without_a_line_end", "a", with_final(widths(8, 8), final_newline::insert), language::text,
     file_kind::other, verdict::changed, "a\n"},
    {"final_inserted_takes_the_crs_before_it", "a\r\r", with_final(widths(8, 8), final_newline::insert, eol_mode::lf),
     language::text, file_kind::other, verdict::changed, "a\n"},
    {"final_inserted_after_a_lone_cr_kept", "a\r", with_final(widths(8, 8), final_newline::insert), language::text,
     file_kind::other, verdict::changed, "a\r\n"},
    {"final_inserted_crlf_asked", "a\nb", with_final(widths(8, 8), final_newline::insert, eol_mode::crlf),
     language::text, file_kind::other, verdict::changed, "a\r\nb\r\n"},
    {"final_kept_where_there", "a\n", with_final(widths(8, 8), final_newline::insert), language::text,
     file_kind::other, verdict::same, ""},
    // A last line that ends in a CR: the LF added after it makes a CR LF, as
    // a second run reads it, so -t takes the blanks before it in one run.
    {"final_after_a_cr_makes_a_crlf_and_trims_at_once", "a\n\t\t\r", with_final(trimmed(widths(4, 1)), final_newline::insert),
     language::text, file_kind::other, verdict::changed, "a\n\r\n"},
    // A lone CR is a character of its line under keep, and a line end under lf.
    {"final_added_after_a_lone_cr", "\r\n\r", with_final(widths(8, 8), final_newline::insert), language::text,
     file_kind::other, verdict::changed, "\r\n\r\r\n"},
    {"final_lone_cr_is_the_line_end_under_lf", "a\n\r", with_final(widths(8, 8), final_newline::insert, eol_mode::lf),
     language::text, file_kind::other, verdict::changed, "a\n\n"},
    {"final_removed_with_the_empty_lines", "a\r\n\n\r\n", with_final(widths(8, 8), final_newline::remove),
     language::text, file_kind::other, verdict::changed, "a"},
    {"final_removed_not_a_lone_cr", "a\r", with_final(widths(8, 8), final_newline::remove), language::text,
     file_kind::other, verdict::same, ""},
};
INSTANTIATE_TEST_SUITE_P(Table, FileWork, testing::ValuesIn(work_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Inputs too large for a table: a difference after several output buffers,
// and lines wider than a line may be.
TEST(FileWork, LargeInputs) {
  const std::string same(300000, 'x');
  file_verdict got = convert_file_text({.bytes = same + "\n\tx\n", .settings = widths(8, 4)});
  ASSERT_EQ(got.v, verdict::changed);
  EXPECT_TRUE(got.text.view() == same + "\n\t\tx\n");
  got = convert_file_text({.bytes = same + "\n\t\tx\n", .settings = widths(4, 4)});
  EXPECT_EQ(got.v, verdict::same);
  got = convert_file_text({.bytes = same + "\n\t\tx", .settings = with_final(widths(4, 4), final_newline::insert)});
  ASSERT_EQ(got.v, verdict::changed);
  EXPECT_TRUE(got.text.view() == same + "\n\t\tx\n");
  const std::string wide(std::size_t(1) << 21, '\t');
  got = convert_file_text({.bytes = wide + "x\n", .settings = widths(256, 256)});
  EXPECT_EQ(got.v, verdict::failed);
  EXPECT_EQ(got.note, "line 1 is wider than 536870912 columns; left as it is");
  got = convert_file_text({.bytes = "a\n" + wide + "x\n", .settings = widths(256, 256)});
  EXPECT_EQ(got.note, "line 2 is wider than 536870912 columns; left as it is");
}

struct splice_case {
  const char* name;
  std::string original;
  std::string converted;
  line_selection lines;
  std::string out;
};
void PrintTo(const splice_case& c, std::ostream* os) { *os << c.name; }

class Splice : public testing::TestWithParam<splice_case> {};

TEST_P(Splice, TakesTheSelectedLines) {
  const splice_case& c = GetParam();
  byte_buffer out;
  ASSERT_TRUE(splice_lines(c.original, c.converted, c.lines, out));
  EXPECT_EQ(out.view(), c.out);
}

const splice_case splice_cases[] = {
    {"none", "a\nb\nc\n", "A\nB\nC\n", {}, "a\nb\nc\n"},
    {"all", "a\nb\nc\n", "A\nB\nC\n", {{1, 3}}, "A\nB\nC\n"},
    {"first", "a\nb\nc\n", "A\nB\nC\n", {{1, 1}}, "A\nb\nc\n"},
    {"middle", "a\nb\nc\n", "A\nB\nC\n", {{2, 2}}, "a\nB\nc\n"},
    {"last_without_a_line_end", "a\nb", "A\nB", {{2, 2}}, "a\nB"},
    {"two_ranges", "a\nb\nc\nd\ne\n", "A\nB\nC\nD\nE\n", {{1, 1}, {3, 4}}, "A\nb\nC\nD\ne\n"},
    {"ranges_past_the_end", "a\nb\n", "A\nB\n", {{2, 9}, {20, 30}}, "a\nB\n"},
    {"line_ends_go_with_their_lines", "a\r\nb\r\n", "A\nB\n", {{2, 2}}, "a\r\nB\n"},
    {"a_last_line_emptied", "a\n  ", "A\n", {{2, 2}}, "a\n"},
    {"a_last_line_emptied_not_chosen", "a\n  ", "A\n", {{1, 1}}, "A\n  "},
    {"a_line_end_added_to_the_last", "a\nb", "A\nB\n", {{2, 2}}, "a\nB\n"},
    {"a_line_end_added_not_chosen", "a\nb", "A\nB\n", {{1, 1}}, "A\nb"},
    {"empty_lines", "\n\n\n", "\n\n\n", {{2, 2}}, "\n\n\n"},
    {"lone_crs_are_inside_lines", "a\rb\nc\n", "A\rB\nC\n", {{2, 2}}, "a\rb\nC\n"},
    {"empty_original", "", "", {{1, 5}}, ""},
};
INSTANTIATE_TEST_SUITE_P(Table, Splice, testing::ValuesIn(splice_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// The selection passed with a file: the lines not chosen stay as they were,
// literals are still read from the file's start, and the final line end is
// the last line's.
TEST(FileWork, ConvertsOnlyTheSelectedLines) {
  const std::string in = "\ts := `a\n\t  b`\n\tx    = 1\n\ty    = 2";
  file_settings s = with_final(widths(8, 4), final_newline::insert);
  const line_selection second_third = {{2, 3}};
  file_verdict got =
      convert_file_text({.bytes = in, .settings = s, .lang = language::go, .kind = file_kind::other, .lines = &second_third});
  ASSERT_EQ(got.v, verdict::changed);
  EXPECT_EQ(got.text.view(), "\ts := `a\n\t  b`\n\t\tx\t = 1\n\ty    = 2")
      << "line 2 is inside the literal opened on line 1, and the last line is not chosen";
  const line_selection last = {{4, 4}};
  got = convert_file_text({.bytes = in, .settings = s, .lang = language::go, .kind = file_kind::other, .lines = &last});
  ASSERT_EQ(got.v, verdict::changed);
  EXPECT_EQ(got.text.view(), "\ts := `a\n\t  b`\n\tx    = 1\n\t\ty\t = 2\n");
  const line_selection first = {{1, 1}};
  s.tab1 = s.tab2 = 8;
  got = convert_file_text({.bytes = in, .settings = s, .lang = language::go, .kind = file_kind::other, .lines = &first});
  EXPECT_EQ(got.v, verdict::same) << "only line 1 chosen, and it is converted already";
}

constexpr std::size_t open_end = std::numeric_limits<std::size_t>::max();

struct region_case {
  const char* name;
  std::string in;
  language lang;
  std::size_t count;
  line_selection lines;
};
void PrintTo(const region_case& c, std::ostream* os) { *os << c.name; }

class Regions : public testing::TestWithParam<region_case> {};

TEST_P(Regions, AreFoundWhereTheMarkersAre) {
  const region_case& c = GetParam();
  const regions_found got = find_regions(c.in, c.lang);
  EXPECT_EQ(got.count, c.count);
  ASSERT_EQ(got.lines.size(), c.lines.size());
  for (std::size_t k = 0; k < c.lines.size(); ++k) {
    EXPECT_EQ(got.lines[k].first, c.lines[k].first) << k;
    EXPECT_EQ(got.lines[k].last, c.lines[k].last) << k;
  }
}

const region_case region_cases[] = {
    {"none", "a\n\tb\n", language::text, 0, {}},
    {"one", "a\n# morek: off\n\tb\n# morek: on\nc\n", language::text, 1, {{2, 4}}},
    {"no_on_runs_to_the_end", "a\n// morek: off\n\tb\n", language::c, 1, {{2, open_end}}},
    {"second_off_inside_is_part_of_it", "morek: off\nmorek: off\nx\nmorek: on\ny\nmorek: on\n", language::text, 1,
     {{1, 4}}},
    {"on_outside_is_nothing", "morek: on\nx\n", language::text, 0, {}},
    {"both_on_one_line_the_last_decides", "x morek: off y morek: on\nz\nmorek: on morek: off\nw\n", language::text, 2,
     {{1, 1}, {3, open_end}}},
    {"touching_regions_are_one_range", "morek: off\nmorek: on\nmorek: off\nmorek: on\nx\n", language::text, 2,
     {{1, 4}}},
    {"longer_words_are_no_markers", "xmorek: off\nmorek: offset\nmorek: only\nmorek:off\nmorek_ off\n",
     language::text, 0, {}},
    {"crlf_and_an_unfinished_last_line", "a\r\n/* morek: off */\r\nb\r\n/* morek: on */", language::c, 1, {{2, 4}}},
    {"anywhere_in_a_text_file", "\"morek: off\"\n", language::text, 1, {{1, open_end}}},
    // A marker inside a literal is no marker.
    {"c_string", "char *s = \"morek: off\";\nx\n", language::c, 0, {}},
    {"c_comment_after_a_string", "char *s = \"a\"; // morek: off\nx\n", language::c, 1, {{1, open_end}}},
    {"python_docstring", "def f():\n    \"\"\"\n    morek: off\n    \"\"\"\n    # morek: off\n", language::python, 1,
     {{5, open_end}}},
    {"shell_here_document", "cat <<EOF\nmorek: off\nEOF\n# morek: off\n# morek: on\n", language::shell, 1, {{4, 5}}},
    {"go_raw_string_over_lines", "s := `\nmorek: off\n`\n// morek: off\n", language::go, 1, {{4, open_end}}},
    {"js_template", "const t = `morek: off`;\n", language::js, 0, {}},
    {"rust_raw_string", "let s = r#\"morek: off\"#;\n// morek: off\n", language::rust, 1, {{2, open_end}}},
    {"ruby_here_document_ends_the_region_never", "# morek: off\nx = <<~T\n  morek: on\nT\n# morek: on\ny\n",
     language::ruby, 1, {{1, 5}}},
    // YAML: on a comment line of its own.
    {"yaml_comment_lines", "# morek: off\na:  1\n  # morek: on\nb: x # morek: off\n", language::yaml, 1, {{1, 3}}},
    {"yaml_block_scalar", "a: |\n  morek: off\n# morek: off\n", language::yaml, 1, {{3, open_end}}},
    {"yaml_block_scalar_comment_like_line", "a: |\n    x\n    # morek: off\nb: 1\n", language::yaml, 0, {}},
    {"yaml_quoted_scalar_over_lines", "a: \"x\n# morek: off\n  y\"\n", language::yaml, 0, {}},
};
INSTANTIATE_TEST_SUITE_P(Table, Regions, testing::ValuesIn(region_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Regions, OutsideIsTheRestWithinTheSelection) {
  const line_selection alone = {{2, 3}, {6, open_end}};
  line_selection got = outside(alone, nullptr);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].first, 1u);
  EXPECT_EQ(got[0].last, 1u);
  EXPECT_EQ(got[1].first, 4u);
  EXPECT_EQ(got[1].last, 5u);
  const line_selection chosen = {{1, 2}, {5, 9}};
  got = outside(alone, &chosen);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].first, 1u);
  EXPECT_EQ(got[0].last, 1u);
  EXPECT_EQ(got[1].first, 5u);
  EXPECT_EQ(got[1].last, 5u);
  got = outside({{1, open_end}}, nullptr);
  EXPECT_TRUE(got.empty());
}

// Random texts with markers against a plain model: a line in a region comes
// back as it was, every other line as the whole conversion (with no region)
// has it, and the last line gets its line end only outside a region.
TEST(Regions, KeepTheirLinesAndConvertTheRest) {
  static const char* const pieces[] = {"\t", "    ", "  ", " ", "x", "=", "# morek: off", "// morek: on",
                                       "morek: offset", "\r", "\"q  \t\""};
  rng r{0x5e9105ULL};
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> lines;
    for (int k = r.below(12); k > 0; --k) {
      std::string line;
      for (int n = r.below(6); n > 0; --n) line += pieces[r.below(11)];
      lines.push_back(line);
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    if (!text.empty() && r.below(3) == 0) text.pop_back();
    file_settings s = with_final(widths(8, 4), r.below(2) ? final_newline::insert : final_newline::keep);
    s.trim = r.below(2) == 0;
    // The model: an "off" starts a region, and the last marker of a line
    // in one says whether it goes on.
    std::vector<bool> alone;
    bool inside = false;
    for (const std::string& line : lines) {
      std::string last;
      bool off = false;
      // "morek: off" or "morek: on" as words of their own, in order.
      auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; };
      for (std::size_t at = line.find("morek: "); at != std::string::npos; at = line.find("morek: ", at + 1)) {
        if (at > 0 && word(line[at - 1])) continue;
        for (const char* w : {"off", "on"}) {
          const std::size_t end = at + 7 + std::strlen(w);
          if (line.compare(at + 7, std::strlen(w), w) == 0 && (end == line.size() || !word(line[end]))) {
            last = w;
            off = off || last == "off";
          }
        }
      }
      if (!inside && off) inside = true;
      alone.push_back(inside);
      if (inside && last == "on") inside = false;
    }
    const file_verdict whole = convert_file_text({.bytes = text, .settings = s});
    const std::string converted = whole.v == verdict::changed ? std::string(whole.text.view()) : text;
    std::string want;
    std::size_t a = 0, b = 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      const std::size_t ea = text.find('\n', a), eb = converted.find('\n', b);
      const std::string was = text.substr(a, ea == std::string::npos ? std::string::npos : ea + 1 - a);
      const std::string now = converted.substr(b, eb == std::string::npos ? std::string::npos : eb + 1 - b);
      want += alone[k] ? was : now;
      a = ea == std::string::npos ? text.size() : ea + 1;
      b = eb == std::string::npos ? converted.size() : eb + 1;
    }
    const file_verdict got = convert_file_text({.bytes = text, .settings = s, .regions = true});
    ASSERT_EQ(got.v == verdict::changed ? std::string(got.text.view()) : text, want) << "round " << round << ": " << text;
  }
}

// What --check --format finds: the line, the column in characters, the kind
// and the message.
struct finding_case {
  const char* name;
  std::string in;
  file_settings settings;
  std::vector<std::tuple<std::size_t, std::size_t, finding_kind, std::string>> found;
};
void PrintTo(const finding_case& c, std::ostream* os) { *os << c.name; }

class Findings : public testing::TestWithParam<finding_case> {};

TEST_P(Findings, SayWhatIsWrongOnEachChangedLine) {
  const finding_case& c = GetParam();
  const file_verdict got = convert_file_text({.bytes = c.in, .settings = c.settings, .find = true});
  ASSERT_EQ(got.v, verdict::changed) << got.note;
  ASSERT_EQ(got.findings.size(), c.found.size());
  for (std::size_t k = 0; k < c.found.size(); ++k) {
    const auto& [line, column, kind, says] = c.found[k];
    EXPECT_EQ(got.findings[k].line, line) << k;
    EXPECT_EQ(got.findings[k].column, column) << k;
    EXPECT_EQ(info_of(got.findings[k].kind).id, info_of(kind).id) << k;
    EXPECT_EQ(message(got.findings[k]), says) << k;
  }
}

file_settings spaces(int tab) {
  file_settings s = widths(tab, tab);
  s.spaces_only = 1;
  return s;
}
file_settings encoded(file_settings s, int utf8, int latin1) {
  s.utf8_input = utf8;
  s.latin1_input = latin1;
  return s;
}

const std::string tabs_asked = "indentation in tabs where spaces are asked for";
const std::string spaces_asked = "indentation in spaces where tabs are asked for";
const std::string mixed = "indentation that mixes tabs and spaces";
const std::string other_width = "indentation in tabs of another width than asked for";
const std::string trailing = "blanks at the end of the line";

const finding_case finding_cases[] = {
    {"tabs_where_spaces_are_asked", "x\n\ty\nz\n\t\tw\n", spaces(4),
     {{2, 1, finding_kind::indent_tabs, tabs_asked}, {4, 1, finding_kind::indent_tabs, tabs_asked}}},
    {"spaces_where_tabs_are_asked", "        x\n  \ty\n", widths(8, 8),
     {{1, 1, finding_kind::indent_spaces, spaces_asked}, {2, 1, finding_kind::indent_mixed, mixed}}},
    {"tab_then_spaces_gaining_a_tab", "\t        x\n", widths(8, 8), {{1, 2, finding_kind::indent_spaces, spaces_asked}}},
    {"both_where_spaces_are_asked", "\t  x\n", spaces(8), {{1, 1, finding_kind::indent_mixed, mixed}}},
    {"tabs_of_another_width", "\tx\n", widths(8, 4), {{1, 2, finding_kind::indent_width, other_width}}},
    {"blanks_at_the_end", "x  \ny\t\n \t\n", trimmed(widths(8, 8)),
     {{1, 2, finding_kind::trailing_blanks, trailing},
      {2, 2, finding_kind::trailing_blanks, trailing},
      {3, 1, finding_kind::trailing_blanks, trailing}}},
    {"a_blank_line_loses_its_blanks", "\t\t\n", spaces(2), {{1, 1, finding_kind::trailing_blanks, trailing}}},
    {"tab_and_spaces_gaining_tabs", "\t    x\n", widths(8, 4), {{1, 2, finding_kind::indent_spaces, spaces_asked}}},
    {"tab_inside_the_line", "ab\tc\n", spaces(4),
     {{1, 3, finding_kind::inner_blanks, "a tab inside the line where spaces are asked for"}}},
    {"spaces_inside_the_line", "abcd    x\n", widths(4, 4),
     {{1, 5, finding_kind::inner_blanks, "spaces inside the line where a tab is asked for"}}},
    {"line_ends", "a\r\nb\nc\r\r\n", with_final(widths(8, 8), final_newline::keep, eol_mode::lf),
     {{1, 2, finding_kind::line_end, "line ends in CR LF where LF is asked for"},
      {3, 2, finding_kind::line_end, "line ends in CR CR LF where LF is asked for"}}},
    {"line_end_of_an_empty_line", "\n\r\n", with_final(widths(8, 8), final_newline::keep, eol_mode::crlf),
     {{1, 1, finding_kind::line_end, "line ends in LF where CR LF is asked for"}}},
    {"no_final_line_end", "a\n\tb", with_final(widths(8, 8), final_newline::insert),
     {{2, 3, finding_kind::final_newline, "no line end at the end of the file"}}},
    {"final_line_ends_removed_with_their_lines", "a\n\n\n", with_final(widths(8, 8), final_newline::remove),
     {{1, 2, finding_kind::final_newline, "a line end at the end of the file, where none is asked for"},
      {2, 1, finding_kind::final_newline, "a line end at the end of the file, where none is asked for"},
      {3, 1, finding_kind::final_newline, "a line end at the end of the file, where none is asked for"}}},
    {"indentation_first_of_two_faults", "\tx  \n", trimmed(spaces(2)), {{1, 1, finding_kind::indent_tabs, tabs_asked}}},
    // Columns count the characters before the change as the encoding does.
    {"utf8_characters_count_one", "\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80\tx\n", spaces(4),
     {{1, 4, finding_kind::inner_blanks, "a tab inside the line where spaces are asked for"}}},
    {"latin1_bytes_count_one", "\xc3\xa9\xe6\tx\n", encoded(spaces(4), 0, 1),
     {{1, 4, finding_kind::inner_blanks, "a tab inside the line where spaces are asked for"}}},
    {"sjis_pairs_count_one", "\x82\xa0\x82\xa0\tx\n", encoded(spaces(4), 0, 0),
     {{1, 3, finding_kind::inner_blanks, "a tab inside the line where spaces are asked for"}}},
    {"broken_utf8_bytes_count_one", "\xe6\x97\xff\tx\n", spaces(4),
     {{1, 4, finding_kind::inner_blanks, "a tab inside the line where spaces are asked for"}}},
};
INSTANTIATE_TEST_SUITE_P(Table, Findings, testing::ValuesIn(finding_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Random files in random settings: a finding for each line that the
// conversion writes otherwise (split after each LF), and none for another,
// each with its line as written and a column within the line.
TEST(Findings, AreTheLinesThatChange) {
  std::mt19937 rng(20261208);
  const char pieces[][4] = {" ", "  ", "\t", "x", "ab", "\r\n", "\n", "\n", "\r", "\xc3\xa9"};
  for (int round = 0; round < 3000; ++round) {
    std::string in;
    const int n = static_cast<int>(rng() % 40);
    for (int k = 0; k < n; ++k) in += pieces[rng() % std::size(pieces)];
    file_settings s = widths(1 + static_cast<int>(rng() % 8), 1 + static_cast<int>(rng() % 8));
    s.spaces_only = rng() % 3 == 0 ? 1 : 0;
    if (s.spaces_only == 1) s.tab2 = s.tab1;
    s.indent_only = rng() % 4 == 0 ? 1 : 0;
    s.trim = rng() % 2 == 0;
    s.final = static_cast<final_newline>(rng() % 3);
    s.line_ends = static_cast<eol_mode>(1 + rng() % 3);
    const file_verdict got = convert_file_text({.bytes = in, .settings = s, .find = true});
    if (got.v != verdict::changed) {
      EXPECT_TRUE(got.findings.empty());
      continue;
    }
    std::vector<std::string> was, now;
    auto split = [](std::string_view t, std::vector<std::string>& lines) {
      for (std::size_t at = 0; at < t.size();) {
        const std::size_t nl = t.find('\n', at);
        const std::size_t end = nl == std::string_view::npos ? t.size() : nl + 1;
        lines.emplace_back(t.substr(at, end - at));
        at = end;
      }
    };
    split(in, was);
    split(got.text.view(), now);
    now.resize(std::max(was.size(), now.size()));
    was.resize(now.size());
    std::size_t next = 0;
    for (std::size_t k = 0; k < was.size(); ++k) {
      if (was[k] == now[k]) continue;
      ASSERT_LT(next, got.findings.size()) << "round " << round << ": line " << k + 1 << " has no finding";
      const finding& f = got.findings[next++];
      ASSERT_EQ(f.line, k + 1) << "round " << round;
      EXPECT_EQ(f.fixed, now[k]) << "round " << round;
      EXPECT_GE(f.column, 1u);
      EXPECT_LE(f.column, was[k].size() + 1) << "round " << round;
      if (f.kind == finding_kind::line_end || f.kind == finding_kind::final_newline) {
        auto body = [](std::string t) {
          while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
          return t;
        };
        EXPECT_EQ(body(was[k]), body(now[k])) << "round " << round << ": only the line end changes";
      }
    }
    EXPECT_EQ(next, got.findings.size()) << "round " << round << ": findings for lines that do not change";
  }
}

// git's patches, read for the lines their new side adds: names as git writes
// them, context that a configuration may add, and what is not a patch.
struct patch_case {
  const char* name;
  std::string patch;
  std::map<std::string, line_selection> lines;  // empty and ok false: refused
  bool ok = true;
};
void PrintTo(const patch_case& c, std::ostream* os) { *os << c.name; }

class AddedLines : public testing::TestWithParam<patch_case> {};

std::vector<std::pair<std::size_t, std::size_t>> pairs(const line_selection& l) {
  std::vector<std::pair<std::size_t, std::size_t>> p;
  for (const line_range& r : l) p.emplace_back(r.first, r.last);
  return p;
}

TEST_P(AddedLines, AreTheNewSidesPlusLines) {
  const patch_case& c = GetParam();
  std::map<std::string, line_selection> got;
  EXPECT_EQ(added_lines(c.patch, got), c.ok);
  if (!c.ok) return;
  EXPECT_EQ(got.size(), c.lines.size());
  for (const auto& [name, lines] : c.lines) {
    ASSERT_EQ(got.count(name), 1u) << name;
    EXPECT_EQ(pairs(got[name]), pairs(lines)) << name;
  }
}

const std::string head = "diff --git a/x.c b/x.c\nindex 1..2 100644\n--- a/x.c\n+++ b/x.c\n";
const patch_case patch_cases[] = {
    {"changed_and_added", head + "@@ -2 +2 @@ a\n-b\n+B\n@@ -3,0 +4,2 @@ c\n+d\n+e\n", {{"x.c", {{2, 2}, {4, 5}}}}},
    {"only_taken_away", head + "@@ -2,2 +1,0 @@\n-b\n-c\n", {{"x.c", {}}}},
    {"new_file", "diff --git a/n.c b/n.c\nnew file mode 100644\n--- /dev/null\n+++ b/n.c\n@@ -0,0 +1,3 @@\n+a\n+b\n+c\n",
     {{"n.c", {{1, 3}}}}},
    {"deleted_file", "diff --git a/d.c b/d.c\ndeleted file mode 100644\n--- a/d.c\n+++ /dev/null\n@@ -1 +0,0 @@\n-a\n", {}},
    {"context_between", head + "@@ -1,4 +1,4 @@\n-a\n+A\n b\n c\n-d\n+D\n", {{"x.c", {{1, 1}, {4, 4}}}}},
    {"a_line_that_looks_like_a_header", head + "@@ -1 +1,2 @@\n-a\n+++ b/y.c\n+@@ -1 +1 @@\n", {{"x.c", {{1, 2}}}}},
    {"no_line_end", head + "@@ -2 +2 @@\n-b\n\\ No newline at end of file\n+B\n\\ No newline at end of file\n",
     {{"x.c", {{2, 2}}}}},
    {"name_with_a_blank", "diff --git a/a b.c b/a b.c\n--- a/a b.c\t\n+++ b/a b.c\t\n@@ -1 +1 @@\n-a\n+A\n",
     {{"a b.c", {{1, 1}}}}},
    {"quoted_name", "diff --git \"a/t\\tq\\\"\\303\\251.c\" \"b/t\\tq\\\"\\303\\251.c\"\n--- \"a/t\\tq\\\"\\303\\251.c\"\n"
                    "+++ \"b/t\\tq\\\"\\303\\251.c\"\n@@ -1 +1 @@\n-a\n+A\n",
     {{"t\tq\"\xc3\xa9.c", {{1, 1}}}}},
    {"binary_and_renamed_add_no_lines",
     "diff --git a/b.bin b/b.bin\nindex 1..2 100644\nBinary files a/b.bin and b/b.bin differ\n"
     "diff --git a/o.c b/m.c\nsimilarity index 100%\nrename from o.c\nrename to m.c\n",
     {}},
    {"renamed_and_changed", "diff --git a/o.c b/m.c\nsimilarity index 80%\nrename from o.c\nrename to m.c\n--- a/o.c\n"
                            "+++ b/m.c\n@@ -7 +7 @@\n-g\n+G\n",
     {{"m.c", {{7, 7}}}}},
    {"a_hunk_cut_short", head + "@@ -1,2 +1,2 @@\n-a\n+A\n", {}, false},
    {"a_hunk_without_a_file", "@@ -1 +1 @@\n-a\n+A\n", {}, false},
    {"a_name_without_b", "--- a/x.c\n+++ x.c\n@@ -1 +1 @@\n-a\n+A\n", {}, false},
    {"a_bad_quote", "+++ \"b/x\\q.c\"\n", {}, false},
};
INSTANTIATE_TEST_SUITE_P(Table, AddedLines, testing::ValuesIn(patch_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
