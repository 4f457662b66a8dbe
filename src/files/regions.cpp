#include "regions.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "lexer.hpp"
#include "morek_config.h"

namespace morek {

namespace {

constexpr std::string_view MARKER = "morek: o";  // then "ff" or "n"
constexpr std::size_t OPEN_END = std::numeric_limits<std::size_t>::max();

bool word_byte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

enum class marker { none, off, on };

// The text as the lexer reads it: the CRs before an LF dropped (line ends,
// which do not move lines), padded.
struct lexed_text {
  std::vector<unsigned char> bytes;
  std::size_t n = 0;
  std::vector<std::uint64_t> lit;
  bool lexed = false;
  language lang = language::text;

  bool literal(std::size_t k) const { return lexed && ((lit[k >> 6] >> (k & 63)) & 1) != 0; }
};

void read_in(std::string_view t, language lang, lexed_text& v) {
  v.bytes.resize(t.size() + LEXER_PAD);
  std::size_t o = 0;
  for (std::size_t p = 0; p < t.size();) {
    std::size_t q = p;
    while (q < t.size() && t[q] == '\r') ++q;
    if (q == p) {
      v.bytes[o++] = static_cast<unsigned char>(t[p++]);
      continue;
    }
    if (q < t.size() && t[q] == '\n') p = q;  // the run of CRs is part of the line end
    for (; p < q; ++p) v.bytes[o++] = static_cast<unsigned char>(t[p]);
  }
  v.n = o;
  v.lang = lang;
  if (lang == language::text || v.n == 0) return;
  v.lit.assign(v.n / 64 + 2, 0);
  literal_lexer lexer;
  lexer.start(lang);
  lexer.scan(v.bytes.data(), v.n, true, v.lit.data(), 0);
  v.lexed = true;
}

// YAML's lexer keeps every byte past the indentation, comments included:
// there a marker counts on a comment line of its own, one whose indentation
// lies outside any literal (a block scalar's lines and a quoted scalar's
// next ones keep theirs). At the margin, where no block scalar goes on, only
// a quoted scalar can hold the line: one left open on the line before, whose
// line end it keeps, unless that line was indented, inside a block scalar.
bool yaml_comment_line(const lexed_text& v, std::size_t from, std::size_t to) {
  std::size_t k = from;
  while (k < to && (v.bytes[k] == ' ' || v.bytes[k] == '\t')) ++k;
  if (k == to || v.bytes[k] != '#') return false;
  if (k > from) return !v.literal(k - 1);
  if (from == 0 || !v.literal(from - 1)) return true;
  std::size_t before = from - 1;
  while (before > 0 && v.bytes[before - 1] != '\n') --before;
  return v.bytes[before] == ' ' && v.literal(before);
}

struct line_markers {
  bool off = false;  // an "off" anywhere on the line
  marker last = marker::none;
};

// The markers of the line [from, to).
line_markers markers_of(const lexed_text& v, std::size_t from, std::size_t to) {
  line_markers found;
  const bool yaml = v.lang == language::yaml;
  if (yaml && !yaml_comment_line(v, from, to)) return found;
  const auto* b = v.bytes.data();
  const std::string_view line(reinterpret_cast<const char*>(b) + from, to - from);
  for (std::size_t at = 0;;) {
    const std::size_t hit = line.find(MARKER, at);
    if (hit == std::string_view::npos) break;
    const std::size_t k = from + hit;
    at = hit + 1;
    const std::size_t tail = k + MARKER.size();
    std::size_t end = 0;
    marker m = marker::none;
    if (tail + 2 <= to && b[tail] == 'f' && b[tail + 1] == 'f') {
      m = marker::off;
      end = tail + 2;
    } else if (tail < to && b[tail] == 'n') {
      m = marker::on;
      end = tail + 1;
    }
    if (m == marker::none || (k > from && word_byte(b[k - 1])) || (end < to && word_byte(b[end]))) continue;
    bool in_literal = false;
    for (std::size_t q = k; q < end && !in_literal && !yaml; ++q) in_literal = v.literal(q);
    if (in_literal) continue;
    found.last = m;
    found.off = found.off || m == marker::off;
  }
  return found;
}

// Whether t holds the marker's start: most files do not, and are not lexed.
bool holds_marker(std::string_view t) {
#if MOREK_HAVE_MEMMEM
  return ::memmem(t.data(), t.size(), MARKER.data(), MARKER.size()) != nullptr;
#else
  return t.find(MARKER) != std::string_view::npos;
#endif
}

}  // namespace

regions_found find_regions(std::string_view text, language lang) {
  regions_found r;
  if (!holds_marker(text)) return r;
  lexed_text v;
  read_in(text, lang, v);
  bool inside = false;
  std::size_t line = 1;
  for (std::size_t from = 0; from < v.n; ++line) {
    const void* nl = std::memchr(v.bytes.data() + from, '\n', v.n - from);
    const std::size_t to = nl != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - v.bytes.data()) : v.n;
    const line_markers m = markers_of(v, from, to);
    from = to + 1;
    if (!inside && !m.off) continue;
    if (!inside) {
      inside = true;
      ++r.count;
      if (!r.lines.empty() && r.lines.back().last + 1 == line)
        r.lines.back().last = line;  // touching the one before: one range
      else
        r.lines.push_back({line, line});
    }
    r.lines.back().last = line;
    inside = m.last != marker::on;
  }
  if (inside) r.lines.back().last = OPEN_END;
  return r;
}

line_selection outside(const line_selection& alone, const line_selection* lines) {
  line_selection out;
  std::size_t next = 1;  // the first line not yet placed
  for (const line_range& a : alone) {
    if (a.first > next) out.push_back({next, a.first - 1});
    next = a.last == OPEN_END ? OPEN_END : a.last + 1;
    if (next == OPEN_END) break;
  }
  if (next != OPEN_END) out.push_back({next, OPEN_END});
  if (lines == nullptr) return out;
  // Within lines: both in order, ranges apart.
  line_selection both;
  auto a = out.begin();
  auto b = lines->begin();
  while (a != out.end() && b != lines->end()) {
    const std::size_t first = std::max(a->first, b->first);
    const std::size_t last = std::min(a->last, b->last);
    if (first <= last) both.push_back({first, last});
    if (a->last < b->last)
      ++a;
    else
      ++b;
  }
  return both;
}

}  // namespace morek
