#include "findings.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "sjis.hpp"
#include "utf8.hpp"

namespace morek {

namespace {

constexpr finding_kind_info kinds[] = {
    {finding_kind::indent_tabs, "indent-tabs", "indentation in tabs where spaces are asked for"},
    {finding_kind::indent_spaces, "indent-spaces", "indentation in spaces where tabs are asked for"},
    {finding_kind::indent_mixed, "indent-mixed", "indentation that mixes tabs and spaces"},
    {finding_kind::indent_width, "indent-width", "indentation in tabs of another width than asked for"},
    {finding_kind::trailing_blanks, "trailing-blanks", "blanks at the end of the line"},
    {finding_kind::inner_blanks, "inner-blanks", "blanks inside the line written otherwise than asked for"},
    {finding_kind::line_end, "line-end", "a line end other than the one asked for"},
    {finding_kind::final_newline, "final-newline", "the end of the file otherwise than asked for"},
};

bool blank(char c) { return c == ' ' || c == '\t'; }

// The line less its line end (the CRs and the LF it ends in), and that end.
std::pair<std::string_view, std::string_view> split_end(std::string_view line) {
  std::size_t n = line.size();
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) --n;
  return {line.substr(0, n), line.substr(n)};
}

// "LF", "CR LF", "CR CR LF".
std::string end_name(std::size_t crs) {
  std::string r;
  for (std::size_t k = 0; k < crs; ++k) r += "CR ";
  return r + "LF";
}

// Characters in t, as the file's encoding counts them.
std::size_t characters(std::string_view t, const file_settings& s) {
  const auto* p = reinterpret_cast<const unsigned char*>(t.data());
  std::size_t n = 0;
  for (std::size_t i = 0; i < t.size(); ++n) {
    if (p[i] < 0x80 || s.latin1_input == 1)
      ++i;
    else if (s.utf8_input == 1)
      i += utf8_at(p + i, t.size() - i).len;
    else
      i += sjis_lead(p[i]) && i + 1 < t.size() ? 2 : 1;
  }
  return n;
}

std::size_t indent_of(std::string_view t) {
  std::size_t n = 0;
  while (n < t.size() && blank(t[n])) ++n;
  return n;
}

finding_kind indent_kind(std::string_view was, std::string_view now, const file_settings& s) {
  const std::size_t tabs = static_cast<std::size_t>(std::count(was.begin(), was.end(), '\t'));
  const bool spaces = was.find(' ') != std::string_view::npos;
  if (s.spaces_only == 1) return tabs > 0 ? spaces ? finding_kind::indent_mixed : finding_kind::indent_tabs
                                          : finding_kind::indent_width;
  const std::size_t tab = was.find('\t');
  if (tab != std::string_view::npos && was.substr(0, tab).find(' ') != std::string_view::npos)
    return finding_kind::indent_mixed;
  // Spaces that a tab takes the place of.
  if (spaces && static_cast<std::size_t>(std::count(now.begin(), now.end(), '\t')) > tabs)
    return finding_kind::indent_spaces;
  return finding_kind::indent_width;
}

finding judge(std::string_view was_line, std::string_view now_line, std::size_t k, const file_settings& s) {
  const auto [was, was_end] = split_end(was_line);
  const auto [now, now_end] = split_end(now_line);
  finding f{.line = k, .column = 1, .kind = finding_kind::inner_blanks, .says = {}, .fixed = now_line};
  if (was == now) {
    f.column = characters(was, s) + 1;
    const bool had = was_end.find('\n') != std::string_view::npos;
    const bool has = now_end.find('\n') != std::string_view::npos;
    if (had != has) {
      f.kind = finding_kind::final_newline;
      f.says = has ? "no line end at the end of the file" : "a line end at the end of the file, where none is asked for";
    } else {
      f.kind = finding_kind::line_end;
      f.crs_was = was_end.size() - 1;
      f.crs_now = now_end.size() - 1;
    }
    return f;
  }
  const std::size_t same =
      static_cast<std::size_t>(std::mismatch(was.begin(), was.end(), now.begin(), now.end()).first - was.begin());
  f.column = characters(was.substr(0, same), s) + 1;
  std::size_t body = was.size();  // where the blanks at its end begin
  while (body > 0 && blank(was[body - 1])) --body;
  if (body < was.size() && same >= body && (now.empty() || !blank(now.back()))) {
    f.kind = finding_kind::trailing_blanks;
  } else if (const std::size_t w = indent_of(was), n = indent_of(now); same < w || same < n) {
    f.kind = indent_kind(was.substr(0, w), now.substr(0, n), s);
  } else if (same < was.size() && was[same] == '\t') {
    f.says = "a tab inside the line where spaces are asked for";
  } else if (same < now.size() && now[same] == '\t') {
    f.says = "spaces inside the line where a tab is asked for";
  }
  if (f.says.empty()) f.says = info_of(f.kind).summary;
  return f;
}

// Bytes at the start of p and q, n at most, that are equal: compared eight
// at a time, so that the lines that do not change cost little.
std::size_t common_prefix(const char* p, const char* q, std::size_t n) {
  std::size_t d = 0;
  for (; d + 8 <= n; d += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, p + d, 8);
    std::memcpy(&y, q + d, 8);
    if (x == y) continue;
    if constexpr (std::endian::native == std::endian::little)
      return d + static_cast<std::size_t>(std::countr_zero(x ^ y)) / 8;
    break;
  }
  while (d < n && p[d] == q[d]) ++d;
  return d;
}


}  // namespace

std::string_view next_line(std::string_view t, std::size_t& at) {
  const std::size_t nl = t.find('\n', at);
  const std::size_t end = nl == std::string_view::npos ? t.size() : nl + 1;
  const std::string_view line = t.substr(at, end - at);
  at = end;
  return line;
}

std::span<const finding_kind_info> finding_kinds() { return kinds; }

const finding_kind_info& info_of(finding_kind k) { return kinds[static_cast<std::size_t>(k)]; }

std::string message(const finding& f) {
  if (f.kind != finding_kind::line_end) return std::string(f.says);
  return "line ends in " + end_name(f.crs_was) + " where " + end_name(f.crs_now) + " is asked for";
}

std::vector<finding> find_changes(std::string_view before, std::string_view after, const file_settings& s) {
  std::vector<finding> found;
  found.reserve(16);
  std::size_t a = 0, b = 0;
  for (std::size_t k = 1; a < before.size() || b < after.size(); ++k) {
    // The lines up to the one where the texts part, at once.
    std::size_t same = common_prefix(before.data() + a, after.data() + b, std::min(before.size() - a, after.size() - b));
    while (same > 0 && before[a + same - 1] != '\n') --same;
    k += static_cast<std::size_t>(std::count(before.begin() + static_cast<std::ptrdiff_t>(a),
                                             before.begin() + static_cast<std::ptrdiff_t>(a + same), '\n'));
    a += same;
    b += same;
    if (a >= before.size() && b >= after.size()) break;
    const std::string_view was = a < before.size() ? next_line(before, a) : std::string_view();
    const std::string_view now = b < after.size() ? next_line(after, b) : std::string_view();
    if (was != now) found.push_back(judge(was, now, k, s));
  }
  return found;
}

}  // namespace morek
