#include "diff.hpp"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "names.hpp"

namespace morek {

namespace {

constexpr std::size_t CONTEXT = 3;

// A text, a line at a time, each with its line end; a last line without one
// is a line too. An empty view: no line is left.
struct line_reader {
  std::string_view text;
  std::size_t at = 0;
  std::string_view next() {
    if (at >= text.size()) return {};
    const void* nl = std::memchr(text.data() + at, '\n', text.size() - at);
    const std::size_t end =
        nl != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nl) - text.data()) + 1 : text.size();
    const std::string_view l = text.substr(at, end - at);
    at = end;
    return l;
  }
};

const char* const RESET = "\x1b[m";

// One line of the diff: its mark, the line, and the note of a missing line end.
void put_line(char mark, std::string_view line, diff_colour colour, std::string& out) {
  const bool ends = !line.empty() && line.back() == '\n';
  if (colour == diff_colour::plain) {
    out += mark;
    out.append(line);
  } else {
    // Tabs as a dim arrow to their stop (at 8), blanks that end the line on red.
    std::string_view body = ends ? line.substr(0, line.size() - 1) : line;
    if (!body.empty() && body.back() == '\r') body.remove_suffix(1);
    std::size_t trailing = body.size();
    while (trailing > 0 && (body[trailing - 1] == ' ' || body[trailing - 1] == '\t')) --trailing;
    out += mark == '-' ? "\x1b[31m" : mark == '+' ? "\x1b[32m" : "";
    out += mark;
    std::size_t col = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
      if (mark != ' ' && i == trailing) out += "\x1b[41m";
      if (body[i] == '\t') {
        const std::size_t step = 8 - col % 8;
        out += "\x1b[2m\xe2\x86\x92";  // →
        out.append(step - 1, ' ');
        out += "\x1b[22m";
        col += step;
      } else {
        out += body[i];
        ++col;
      }
    }
    out += RESET;
    out.append(line.substr(body.size()));  // the CR and LF as they are
  }
  if (!ends) out += "\n\\ No newline at end of file\n";
}

// "start,count", or "start" alone for a count of 1; an empty range starts at
// the line before it.
std::string range(std::size_t first, std::size_t count) {
  const std::size_t start = count == 0 ? first : first + 1;
  return count == 1 ? std::to_string(start) : std::to_string(start) + "," + std::to_string(count);
}

// The header line of one side: the name as it is, with a tab after it when it
// holds a space (so that patch finds its end), or quoted as git quotes it when
// it holds a control character, a quote or a backslash, or ends in a blank,
// which patch would trim.
std::string header(const char* mark, std::string_view side, std::string_view name) {
  const bool quote = needs_quoting(name) || (!name.empty() && name.back() == ' ');
  std::string h = mark;
  std::string full(side);
  full.append(name);
  if (quote) return h + quoted_name(full, true) + "\n";
  h += full;
  if (name.find(' ') != std::string_view::npos) h += '\t';
  return h + "\n";
}

}  // namespace

void unified_diff(std::string_view name, std::string_view before, std::string_view after, diff_colour colour,
                  std::string& out) {
  if (before == after) return;
  const bool tty = colour == diff_colour::terminal;
  line_reader a{before}, b{after};
  // One pass over both texts, a line of each at a time: unchanged lines wait
  // as context, changes gather into the hunk being built, which is written
  // out whole once its end is known.
  std::string_view ring[CONTEXT];  // the unchanged lines just before the current one, outside a hunk
  std::size_t ring_n = 0;
  bool in_hunk = false;
  std::size_t first = 0, a_count = 0, b_count = 0;      // the hunk's first line, and its lines on each side
  std::vector<std::pair<char, std::string_view>> body;  // the hunk's lines, marked
  std::vector<std::string_view> minus, plus;            // the change being gathered
  std::vector<std::string_view> tail;                   // unchanged lines since the hunk's last change
  bool headers = false;
  out.reserve(out.size() + before.size() + after.size() + 256);

  auto flush_change = [&] {
    for (std::string_view l : minus) body.emplace_back('-', l);
    for (std::string_view l : plus) body.emplace_back('+', l);
    a_count += minus.size();
    b_count += plus.size();
    minus.clear();
    plus.clear();
  };
  auto context = [&](std::string_view l) {
    body.emplace_back(' ', l);
    ++a_count;
    ++b_count;
  };
  // Writes the hunk with the first `trailing` lines of the tail as its last context.
  auto close_hunk = [&](std::size_t trailing) {
    flush_change();
    for (std::size_t k = 0; k < trailing; ++k) context(tail[k]);
    if (!headers) {
      out += tty ? "\x1b[1m" : "";
      out += header("--- ", "a/", name);
      out += header("+++ ", "b/", name);
      out += tty ? RESET : "";
      headers = true;
    }
    out += tty ? "\x1b[36m" : "";
    out.append("@@ -").append(range(first, a_count)).append(" +").append(range(first, b_count)).append(" @@");
    out += tty ? RESET : "";
    out += '\n';
    if (tty) {
      for (const auto& [mark, l] : body) put_line(mark, l, colour, out);
    } else {
      // Plain lines, the bulk of a diff, copied in one go.
      static constexpr std::string_view no_end = "\n\\ No newline at end of file\n";
      std::size_t size = 0;
      for (const auto& [mark, l] : body) size += 1 + l.size() + (l.back() == '\n' ? 0 : no_end.size());
      std::size_t at = out.size();
      out.resize(at + size);
      for (const auto& [mark, l] : body) {
        out[at++] = mark;
        std::memcpy(out.data() + at, l.data(), l.size());
        at += l.size();
        if (l.back() != '\n') {
          std::memcpy(out.data() + at, no_end.data(), no_end.size());
          at += no_end.size();
        }
      }
    }
    in_hunk = false;
  };

  for (std::size_t line = 0;; ++line) {
    const std::string_view la = a.next(), lb = b.next();
    if (la.empty() && lb.empty()) break;
    if (la == lb) {
      if (!in_hunk) {
        // Keeps the last CONTEXT unchanged lines.
        if (ring_n == CONTEXT) std::move(ring + 1, ring + CONTEXT, ring);
        ring[ring_n == CONTEXT ? CONTEXT - 1 : ring_n++] = la;
        continue;
      }
      flush_change();
      tail.push_back(la);
      if (tail.size() > 2 * CONTEXT) {
        // Too far from the next change to share its hunk.
        close_hunk(CONTEXT);
        ring_n = 0;
        for (std::size_t k = tail.size() - CONTEXT; k < tail.size(); ++k) ring[ring_n++] = tail[k];
        tail.clear();
      }
      continue;
    }
    if (!in_hunk) {
      in_hunk = true;
      body.clear();
      a_count = b_count = 0;
      first = line - ring_n;
      for (std::size_t k = 0; k < ring_n; ++k) context(ring[k]);
      ring_n = 0;
    } else {
      for (std::string_view l : tail) context(l);
    }
    tail.clear();
    if (!la.empty()) minus.push_back(la);
    if (!lb.empty()) plus.push_back(lb);
  }
  if (in_hunk) close_hunk(std::min(tail.size(), CONTEXT));
}

}  // namespace morek
