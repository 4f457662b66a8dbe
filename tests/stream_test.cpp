// The whole-input conversion against a plain model of the line reader and the
// two passes, on random inputs that span many read blocks.
#include "stream.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "convert.hpp"
#include "expand.hpp"
#include "file_work.hpp"
#include "retab.hpp"
#include "run_tool.hpp"
#include "test_support.hpp"
#include "textio.hpp"

using namespace morek;

namespace {

struct model_result {
  std::string out;
  std::size_t too_long = 0;
  std::string too_long_text;
};

// The text as the passes see it, and whether each of its LFs had a CR
// before it: the text layer drops every CR and ends at Ctrl-Z; byte for byte
// only the CR of a CR LF leaves the text, or under --eol=lf and --eol=crlf
// every CR of a run that an LF ends.
std::pair<std::string, std::vector<bool>> layer(const std::string& raw) {
  std::string text;
  std::vector<bool> had_cr(raw.size() + 1);
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (line_ends == eol_mode::text) {
      if (c == '\x1a') break;
      if (c != '\r') text += c;
    } else if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
      had_cr[text.size()] = true;
    } else if (c == '\r' && (line_ends == eol_mode::lf || line_ends == eol_mode::crlf) &&
               raw.find_first_not_of('\r', i) != std::string::npos && raw[raw.find_first_not_of('\r', i)] == '\n') {
      // Where every line end is written anew, a run of CRs before an LF is all line end.
    } else {
      text += c;
    }
  }
  return {text, had_cr};
}

// The line end written for a line whose newline had a CR before it or not.
std::string end_of_line(bool had_cr) {
  switch (line_ends) {
    case eol_mode::lf:
      return "\n";
    case eol_mode::keep:
      return had_cr ? "\r\n" : "\n";
    default:
      return "\r\n";
  }
}

// The input layer, the line reader and the two passes, as plainly as they go.
model_result model(const std::string& raw, bool trim) {
  const auto [text, had_cr] = layer(raw);
  model_result r;
  lex_state lex;
  const auto max = static_cast<std::size_t>(BUFSIZE) - 1;
  std::size_t pos = 0;
  bool first_piece = true;  // the line starts here, not in a piece before
  while (pos < text.size()) {
    std::size_t n = 0;
    while (n < max && pos + n < text.size()) {
      if (text[pos + n++] == '\n') break;
    }
    std::string line = text.substr(pos, n);
    pos += n;
    if (line.size() >= LINE_LIMIT) {
      r.too_long = line.size();
      r.too_long_text = line;
      return r;
    }
    const bool whole = line.back() == '\n';
    if (trim) line = trimmed(line);
    std::string out = by_passes(line, lex, first_piece);
    first_piece = whole;
    if (!line.empty() && line.back() == '\n') out.replace(out.size() - 2, 2, end_of_line(had_cr[pos - 1]));
    r.out += out;
  }
  return r;
}

std::string captured;  // what the writer wrote
bool capture(const unsigned char* p, std::size_t n) {
  captured.append(reinterpret_cast<const char*>(p), n);
  return true;
}

// convert_stream on what fd delivers, with the output caught.
// The reader's layer for the line ends in force.
text_reader::options layer_in_force() {
  return {line_ends != eol_mode::text, line_ends == eol_mode::keep, false,
          line_ends == eol_mode::lf || line_ends == eol_mode::crlf};
}

// convert_stream on what the reader delivers, with the output caught.
model_result converted_by(text_reader& reader, bool trim) {
  captured.clear();
  out_target = capture;
  std::vector<unsigned char> in_buf(static_cast<std::size_t>(BUFSIZE) + 2 + LINE_LIMIT + CONVERT_PAD);
  const stream_result s = convert_stream(reader, in_buf.data(), trim);
  EXPECT_TRUE(out_flush());
  EXPECT_FALSE(reader.failed());
  out_target = write_stdout;
  model_result r;
  r.out = captured;
  r.too_long = s.too_long;
  if (s.too_long != 0) r.too_long_text.assign(reinterpret_cast<const char*>(in_buf.data()), s.too_long);
  return r;
}

model_result real_from(int fd, bool trim) {
  auto reader = std::make_unique<text_reader>(fd, layer_in_force());
  return converted_by(*reader, trim);
}

model_result real(const std::string& raw, bool trim) {
  temp_file input(raw);
  const int fd = open(input.path.c_str(), O_RDONLY);
  model_result r = real_from(fd, trim);
  close(fd);
  return r;
}

// The same, read from memory.
model_result real_from_memory(const std::string& raw, bool trim) {
  auto reader = std::make_unique<text_reader>(-1, layer_in_force());
  reader->reset(raw, layer_in_force());
  return converted_by(*reader, trim);
}

// The same, with every read ending where cuts say: the input comes through a
// socket that keeps the writes apart.
model_result real_in_pieces(const std::string& raw, bool trim, const std::vector<std::size_t>& cuts) {
  int sv[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sv) != 0) throw std::runtime_error("socketpair failed");
  std::thread writer([&] {
    std::size_t at = 0;
    for (std::size_t cut : cuts) {
      if (cut > at && write(sv[1], raw.data() + at, cut - at) < 0) break;
      at = std::max(at, cut);
    }
    if (raw.size() > at) (void)!write(sv[1], raw.data() + at, raw.size() - at);
    close(sv[1]);
  });
  model_result r = real_from(sv[0], trim);
  writer.join();
  close(sv[0]);
  return r;
}

// Lines of every sort; some of exactly the lengths where the line reader and
// the line limit change what happens.
std::string random_input(rng& r, std::size_t size, bool allow_long, bool lone_crs) {
  static const std::string alphabet("    \t\t\"'/*\\abcxyz;=\x82\x95\xe0\xb1\xa0\xfd\x5c\x40\r\r\n\0", 31);
  const auto b = static_cast<std::size_t>(BUFSIZE);
  const std::size_t edges[] = {b - 3,          b - 2,      b - 1,         b, b + 1, LINE_LIMIT - 2,
                               LINE_LIMIT - 1, LINE_LIMIT, LINE_LIMIT + 1};
  std::string s;
  while (s.size() < size) {
    const int kind = r.below(100);
    if (kind < 4) {
      // A line of an exact length, newline included, with no CR or newline inside.
      std::size_t len = edges[r.below(9)];
      if ((!allow_long || r.below(20) != 0) && len >= LINE_LIMIT) len = LINE_LIMIT - 1;
      for (std::size_t i = 1; i < len; ++i) s += alphabet[static_cast<std::size_t>(r.below(24))];
      s += '\n';
      continue;
    }
    const auto len = static_cast<std::size_t>(kind < 8 ? 200 + r.below(200) : r.below(60));
    for (std::size_t i = 0; i < len; ++i) {
      const char c =
          r.below(10) == 0 ? static_cast<char>(r.below(256)) : alphabet[static_cast<std::size_t>(r.below(31))];
      if (c != '\r' || lone_crs) s += c;
    }
    if (r.below(5) == 0) s += '\r';
    s += '\n';
  }
  if (r.below(3) == 0) s.pop_back();  // no final newline
  if (r.below(20) == 0) s[static_cast<std::size_t>(r.below(static_cast<int>(s.size())))] = '\x1a';
  return s;
}

TEST(Stream, MatchesTheModel) {
  const settings_guard restore;
  rng r{0xfeedface12345678ULL};
  const int widths[] = {1, 3, 4, 8, 256};
  const int sizes[] = {256, 300, 511, 512, 600, 4096};
  for (int round = 0; round < 60; ++round) {
    tab1 = widths[r.below(5)];
    tab2 = widths[r.below(5)];
    ign_str = r.below(2);
    random_style(r);
    line_ends = static_cast<eol_mode>(r.below(4));
    BUFSIZE = sizes[r.below(6)];
    const bool trim = r.below(2) == 1;
    const bool allow_long = BUFSIZE < 512 || r.below(4) == 0;
    // CRs only before newlines can stay in the reader's window; others make it squeeze them all.
    const bool lone_crs = r.below(3) == 0;
    const std::string input = random_input(r, 50000 + static_cast<std::size_t>(r.below(300000)), allow_long, lone_crs);
    const model_result want = model(input, trim);
    const model_result got = real(input, trim);
    ASSERT_EQ(got.out, want.out) << "round " << round << " " << settings_text() << " -b" << BUFSIZE << " -t " << trim
                                 << " eol " << static_cast<int>(line_ends);
    ASSERT_EQ(got.too_long, want.too_long) << "round " << round;
    std::printf("round %d b%d long %zu size %zu\n", round, BUFSIZE, want.too_long, input.size());
    ASSERT_EQ(got.too_long_text, want.too_long_text) << "round " << round;
    const model_result from_memory = real_from_memory(input, trim);
    ASSERT_EQ(from_memory.out, want.out) << "round " << round << " from memory";
    ASSERT_EQ(from_memory.too_long_text, want.too_long_text) << "round " << round << " from memory";
  }
}

TEST(Reader, StartsAnotherInputWithoutTheLineEndsOfTheOneBefore) {
  std::string crlf, lf;
  for (int i = 0; i < 100; ++i) {
    crlf += "ab\r\n";
    lf += "ab\n";
  }
  temp_file first(crlf);
  temp_file second(lf);
  const int fd1 = open(first.path.c_str(), O_RDONLY);
  const int fd2 = open(second.path.c_str(), O_RDONLY);
  const text_reader::options keep{true, true, false};
  auto reader = std::make_unique<text_reader>(fd1, keep);
  ASSERT_TRUE(reader->read_more());
  ASSERT_TRUE(reader->crlf_at(2));
  reader->reset(fd2, keep);  // the first input left unread, as when a file is refused
  ASSERT_TRUE(reader->read_more());
  ASSERT_EQ(reader->window_size(), lf.size());
  for (std::size_t i = 0; i < lf.size(); ++i) EXPECT_FALSE(reader->crlf_at(i)) << i;
  close(fd1);
  close(fd2);
}

TEST(Stream, ReadsThatEndAnywhere) {
  const settings_guard restore;
  // Reads that end between a CR and its LF above all, and inside characters.
  rng r{0x0ddba11cafe5eedULL};
  for (int round = 0; round < 120; ++round) {
    tab1 = 1 + r.below(8);
    tab2 = 1 + r.below(8);
    ign_str = r.below(2);
    random_style(r);
    line_ends = static_cast<eol_mode>(r.below(4));
    BUFSIZE = r.below(2) == 0 ? 256 : 4096;
    const bool trim = r.below(2) == 1;
    std::string input = random_input(r, static_cast<std::size_t>(r.below(3000)), true, true);
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < input.size(); ++i)
      if ((input[i] == '\r' && r.below(2) == 0) || r.below(200) == 0) cuts.push_back(i + 1);
    const model_result want = model(input, trim);
    const model_result got = real_in_pieces(input, trim, cuts);
    ASSERT_EQ(got.out, want.out) << "round " << round << " " << settings_text() << " eol "
                                 << static_cast<int>(line_ends);
    ASSERT_EQ(got.too_long, want.too_long) << "round " << round;
    ASSERT_EQ(got.too_long_text, want.too_long_text) << "round " << round;
  }
}

TEST(Stream, LinesAtTheEdgesOfTheReaderAndTheLimit) {
  const settings_guard restore;
  tab1 = 8;
  tab2 = 4;
  for (int size : {256, 300, 510, 511, 512, 513, 600, 4096}) {
    BUFSIZE = size;
    const auto b = static_cast<std::size_t>(size);
    for (std::size_t len : {b - 2, b - 1, b, b + 1, LINE_LIMIT - 2, LINE_LIMIT - 1, LINE_LIMIT, LINE_LIMIT + 1}) {
      for (int c = 0; c <= 3; ++c) {
        ign_str = c & 1;
        indent_only = c >> 1;  // the pieces of a line that opens with blanks
        std::string line;
        for (std::size_t i = 0; i + 1 < len; ++i) line += " \tab  \t\"'"[i % 9];
        for (const std::string& input :
             {"a  b\n" + line + "\nc  d\n", line + "\n", line, "a  b\r\n" + line + "\r\nc  d\r\n", line + "\r\n",
              line + "\r", line + "\r\r\n"}) {
          for (int eol = 0; eol < 4; ++eol) {
            line_ends = static_cast<eol_mode>(eol);
            for (bool trim : {false, true}) {
              const model_result want = model(input, trim);
              const model_result got = real(input, trim);
              ASSERT_EQ(got.out, want.out)
                  << "-b" << size << " line " << len << " -c " << c << " -t " << trim << " eol " << eol;
              ASSERT_EQ(got.too_long, want.too_long) << "-b" << size << " line " << len;
              ASSERT_EQ(got.too_long_text, want.too_long_text);
            }
          }
        }
      }
    }
  }
}

// ---- one file's work, against the model -----------------------------------

// The lines of a text, each with its LF; a last one without.
std::vector<std::string> lines_of(const std::string& t) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < t.size();) {
    const std::size_t nl = t.find('\n', at);
    const std::size_t end = nl == std::string::npos ? t.size() : nl + 1;
    lines.push_back(t.substr(at, end - at));
    at = end;
  }
  return lines;
}

// Line k from selected, the rest from original, as plainly as it goes.
std::string spliced(const std::string& original, const std::string& converted, const std::set<std::size_t>& selected) {
  const std::vector<std::string> was = lines_of(original), now = lines_of(converted);
  std::string r;
  for (std::size_t k = 0; k < std::max(was.size(), now.size()); ++k) {
    const std::vector<std::string>& from = selected.contains(k + 1) ? now : was;
    if (k < from.size()) r += from[k];
  }
  return r;
}

// insert_final_newline and its opposite, as the properties read.
std::string with_final(std::string t, final_newline f, eol_mode ends) {
  if (f == final_newline::remove) {
    while (!t.empty() && t.back() == '\n') {
      t.pop_back();
      if (!t.empty() && t.back() == '\r') t.pop_back();
    }
  }
  if (f == final_newline::insert && !t.empty() && t.back() != '\n') {
    // Under --eol=lf and crlf the CRs it ends with are part of the line end.
    if (ends != eol_mode::keep)
      while (!t.empty() && t.back() == '\r') t.pop_back();
    const std::size_t lf = t.rfind('\n');
    const bool crlf = ends == eol_mode::crlf || (ends == eol_mode::keep && lf != std::string::npos && lf > 0 && t[lf - 1] == '\r');
    t += crlf ? "\r\n" : "\n";
  }
  return t;
}

// What the file modes take from a line's end so that one run settles: where
// blanks go (under -t, or in a style that drops those at a line's end) and
// CRs stand among them, the CRs are left last and join the line end.
std::string settled(const std::string& t, bool trim) {
  if (!trim && indent_only != 0) return t;
  std::string r;
  for (const std::string& line : lines_of(t)) {
    if (line.back() != '\n') {
      r += line;
      continue;
    }
    // The line end: under keep its LF and a CR before it, else the LF and
    // the run of CRs before it.
    std::size_t body = line.size() - 1;
    if (line_ends == eol_mode::keep) {
      if (body > 0 && line[body - 1] == '\r') --body;
    } else {
      while (body > 0 && line[body - 1] == '\r') --body;
    }
    const std::string c = line.substr(0, body);
    if (c.empty() || (c.back() != ' ' && c.back() != '\t')) {
      r += line;
      continue;
    }
    std::size_t run = c.size(), cut = c.size();
    while (run > 0 && (c[run - 1] == ' ' || c[run - 1] == '\t' || c[run - 1] == '\r')) --run;
    while (trim && cut > 0 && (c[cut - 1] == ' ' || c[cut - 1] == '\t')) --cut;
    const auto crs = static_cast<std::size_t>(std::count(c.begin() + static_cast<std::ptrdiff_t>(run), c.end(), '\r'));
    const std::string kept_crs(line_ends == eol_mode::keep ? crs : 0, '\r');
    r += crs > 0 && run < cut ? c.substr(0, run) + kept_crs + line.substr(body) : line;
  }
  return r;
}

// A file's verdict and new text against the passes line by line, the lines
// chosen by a plain splice and the final line end by the properties' words.
TEST(FileWork, MatchesTheModel) {
  const settings_guard restore;
  rng r{0x5eed0f11e5ULL};
  const int widths[] = {1, 3, 4, 8};
  int changed = 0, same = 0, binary = 0;
  for (int round = 0; round < 400; ++round) {
    tab1 = widths[r.below(4)];
    tab2 = widths[r.below(4)];
    ign_str = r.below(2);
    random_style(r);
    line_ends = static_cast<eol_mode>(1 + r.below(3));  // the file modes read byte for byte
    BUFSIZE = 4096;
    const bool trim = r.below(2) == 1;
    const auto final = static_cast<final_newline>(r.below(3));
    std::string input = random_input(r, static_cast<std::size_t>(r.below(round % 10 == 0 ? 20000 : 600)), false, true);
    if (r.below(8) != 0) std::erase(input, '\0');
    if (r.below(10) == 0) input = std::string(static_cast<std::size_t>(r.below(3)), ' ') + "\n\r\n"[r.below(3)];
    file_settings fs = settings_in_force(trim);
    fs.final = final;
    // Some lines, or all.
    line_selection chosen;
    std::set<std::size_t> chosen_set;
    const bool choose = r.below(2) == 0;
    const std::size_t lines = lines_of(input).size();
    for (std::size_t k = 1; choose && k <= lines + 1;) {
      const std::size_t first = k + static_cast<std::size_t>(r.below(4)), last = first + static_cast<std::size_t>(r.below(4));
      chosen.push_back({first, last});
      for (std::size_t j = first; j <= last; ++j) chosen_set.insert(j);
      k = last + 2;
    }
    const std::string context = "round " + std::to_string(round) + " " + settings_text() + " -t " +
                                std::to_string(trim) + " eol " + std::to_string(static_cast<int>(line_ends)) +
                                " final " + std::to_string(static_cast<int>(final));
    // The line end a last line gains is there before it converts.
    const bool last_taken = !choose || chosen_set.contains(lines);
    const std::string model_out =
        input.find('\0') == std::string::npos
            ? model(settled(final == final_newline::insert && last_taken ? with_final(input, final, line_ends) : input,
                            trim),
                    trim)
                  .out
            : "";
    // The file's settings are its own, and the thread's come back after it.
    const settings_guard others;
    tab1 = tab2 = 5;
    ign_str = 1 - ign_str;
    indent_only = indent_only == 0 ? 1 : 0;
    line_ends = eol_mode::text;
    const std::string before = settings_text();
    const file_verdict got = convert_file_text({.bytes = input, .settings = fs, .lines = choose ? &chosen : nullptr});
    ASSERT_EQ(settings_text(), before) << context;
    ASSERT_EQ(line_ends, eol_mode::text);
    if (input.find('\0') != std::string::npos) {
      ASSERT_EQ(got.v, verdict::binary) << context;
      ++binary;
      continue;
    }
    std::string want = model_out;
    if (choose) want = spliced(input, want, chosen_set);
    if (last_taken) want = with_final(want, final, fs.line_ends);
    if (want == input) {
      ASSERT_EQ(got.v, verdict::same) << context;
      ++same;
    } else {
      ASSERT_EQ(got.v, verdict::changed) << context;
      ASSERT_EQ(got.text.view(), want) << context;
      ++changed;
    }
  }
  EXPECT_GT(changed, 100);
  EXPECT_GT(same, 10);
  EXPECT_GT(binary, 10);
}

}  // namespace
