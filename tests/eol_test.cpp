// Line ends under --eol: the input is taken byte for byte, the CR of a CR LF
// belongs to the line end, and every line end is written as asked.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "run_tool.hpp"

namespace {

// An input, and its lines as the conversion writes them, each with the line
// end it had ("" for a last line without one).
struct sample {
  const char* name;
  std::vector<std::string> extra_args;
  std::string in;
  std::vector<std::pair<std::string, std::string>> lines;
  std::string only = "";  // "keep": that mode alone; "set": --eol=lf and --eol=crlf alone
};

const std::string x509(509, 'x');
const std::string x510(510, 'x');
const std::string y255(255, 'y');

const sample samples[] = {
    {"lf", {}, "a\tb\nc   d\n", {{"a\t\tb", "\n"}, {"c\td", "\n"}}},
    {"crlf", {}, "a\tb\r\nc   d\r\n", {{"a\t\tb", "\r\n"}, {"c\td", "\r\n"}}},
    {"mixed", {}, "a\tb\r\nc   d\n\r\n", {{"a\t\tb", "\r\n"}, {"c\td", "\n"}, {"", "\r\n"}}},
    {"lone_cr_is_a_character", {}, "a   \r\tb\n", {{"a\t\r\tb", "\n"}}},
    {"cr_before_crlf", {}, "a\r\r\n", {{"a\r", "\r\n"}}, "keep"},
    // Where every line end is set, a run of CRs before an LF is all line end:
    // a second run finds nothing more to change.
    {"cr_run_before_lf", {}, "a\r\r\nb\r\r\r\n\r\r\nc\r\rd\n", {{"a", "\n"}, {"b", "\n"}, {"", "\n"}, {"c\r\rd", "\n"}}, "set"},
    {"cr_at_the_end", {}, "a  \r", {{"a  \r", ""}}},
    {"ctrl_z_is_a_character", {}, "\x1a\tb\nx\x1ay\r\n", {{"\x1a\t\tb", "\n"}, {"x\x1ay", "\r\n"}}},
    {"no_final_line_end", {}, "a\tb\r\nc\td", {{"a\t\tb", "\r\n"}, {"c\t\td", ""}}},
    {"trailing_blanks_before_crlf", {}, "a  \t\r\n \r\n", {{"a", "\r\n"}, {"", "\r\n"}}},
    {"open_literal_keeps_blanks", {"-c"}, "\"x\r\n \t \r\n", {{"\"x", "\r\n"}, {" \t ", "\r\n"}}},
    {"trim_cuts_before_crlf", {"-ct"}, "\"x\r\n \t \r\n", {{"\"x", "\r\n"}, {"", "\r\n"}}},
    {"line_of_510_with_crlf", {}, x509 + "\r\n", {{x509, "\r\n"}}},
    {"b256_keeps_crlf_together", {"-b256"}, y255 + "\r\nz\r\n", {{y255, ""}, {"", "\r\n"}, {"z", "\r\n"}}},
};

std::string written(const sample& s, const char* mode) {
  std::string out;
  for (const auto& [text, end] : s.lines) {
    out += text;
    if (end.empty()) continue;
    const std::string m = mode;
    out += m == "crlf" ? "\r\n" : m == "lf" ? "\n" : end;
  }
  return out;
}

std::vector<exact_case> eol_cases() {
  std::vector<exact_case> cases;
  static std::deque<std::string> names;  // the cases point into it
  for (const char* mode : {"crlf", "lf", "keep"}) {
    for (const sample& s : samples) {
      if (!s.only.empty() && (s.only == "keep") != (std::string(mode) == "keep")) continue;
      names.push_back(std::string(s.name) + "_" + mode);
      std::vector<std::string> args = s.extra_args;
      args.push_back(std::string("--eol=") + mode);
      args.insert(args.end(), {"8", "4"});
      cases.push_back({names.back().c_str(), args, s.in, written(s, mode), "", 0});
    }
    // A line of 511 bytes without its CR stops the run, as without --eol;
    // the message quotes it without the CR.
    names.push_back(std::string("line_of_511_with_crlf_") + mode);
    cases.push_back({names.back().c_str(),
                     {std::string("--eol=") + mode, "8", "4"},
                     "a\tb\r\n" + x510 + "\r\nc\r\n",
                     written(samples[1], mode).substr(0, mode == std::string("lf") ? 5 : 6),
                     x510 + "\n \nError: too long line found!\n",
                     1});
  }
  return cases;
}

class Eol : public testing::TestWithParam<exact_case> {};

TEST_P(Eol, MatchesByteForByte) { expect_run(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Table, Eol, testing::ValuesIn(eol_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The issue's own examples, and what stays as it was without --eol.
const exact_case plain_cases[] = {
    {"keep_mixed", {"--eol=keep", "8", "4"}, "a\tb\r\nc\td\n", "a\t\tb\r\nc\t\td\n", "", 0},
    {"keep_ctrl_z", {"--eol=keep", "8", "4"}, "x\x1ay\n", "x\x1ay\n", "", 0},
    {"keep_lone_cr", {"--eol=keep", "8", "4"}, "a\rb\n", "a\rb\n", "", 0},
    {"default_drops_crs_and_stops_at_ctrl_z", {"8", "4"}, "a\rb\r\nx\x1ay\n", "ab\r\nx", "", 0},
    {"last_eol_wins", {"--eol=crlf", "--eol=lf", "8", "4"}, "a\r\n", "a\n", "", 0},
};

INSTANTIATE_TEST_SUITE_P(Examples, Eol, testing::ValuesIn(plain_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
