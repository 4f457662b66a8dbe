#include "diff.hpp"

#include <algorithm>
#include <vector>

namespace morek {

namespace {

constexpr std::size_t CONTEXT = 3;

// The lines of text, each with its line end; a last line without one is kept too.
std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t nl = text.find('\n', at);
    const std::size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    lines.push_back(text.substr(at, end - at));
    at = end;
  }
  return lines;
}

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
// holds a space (so that patch finds its end), or quoted in C's way when it
// holds a control character, a quote or a backslash, as git writes it.
std::string header(const char* mark, std::string_view side, std::string_view name) {
  bool quote = false;
  for (const unsigned char c : name) quote = quote || c < 0x20 || c == 0x7f || c == '"' || c == '\\';
  std::string h = mark;
  if (!quote) {
    h.append(side).append(name);
    if (name.find(' ') != std::string_view::npos) h += '\t';
    return h + "\n";
  }
  h += '"';
  h.append(side);
  for (const unsigned char c : name) {
    if (c == '"' || c == '\\') {
      h += '\\';
      h += static_cast<char>(c);
    } else if (c == '\t') {
      h += "\\t";
    } else if (c == '\n') {
      h += "\\n";
    } else if (c < 0x20 || c == 0x7f) {
      const char octal[] = {'\\', static_cast<char>('0' + (c >> 6)), static_cast<char>('0' + ((c >> 3) & 7)),
                            static_cast<char>('0' + (c & 7)), '\0'};
      h += octal;
    } else {
      h += static_cast<char>(c);
    }
  }
  return h + "\"\n";
}

}  // namespace

void unified_diff(std::string_view name, std::string_view before, std::string_view after, diff_colour colour,
                  std::string& out) {
  const std::vector<std::string_view> a = lines_of(before);
  const std::vector<std::string_view> b = lines_of(after);
  const std::size_t n = std::max(a.size(), b.size());
  auto differs = [&](std::size_t i) { return i >= a.size() || i >= b.size() || a[i] != b[i]; };

  std::size_t i = 0;
  while (i < n && !differs(i)) ++i;
  if (i == n) return;
  const bool tty = colour == diff_colour::terminal;
  out += tty ? "\x1b[1m" : "";
  out += header("--- ", "a/", name);
  out += header("+++ ", "b/", name);
  out += tty ? RESET : "";

  while (i < n) {
    // A hunk: from the first change less its context to the last change
    // that no more than 2 * CONTEXT unchanged lines part from the one before.
    const std::size_t first = i >= CONTEXT ? i - CONTEXT : 0;
    std::size_t last_change = i;
    std::size_t k = i + 1;
    for (;;) {
      while (k < n && !differs(k)) ++k;
      if (k == n || k - last_change - 1 > 2 * CONTEXT) break;
      last_change = k++;
    }
    const std::size_t end = std::min(n, last_change + 1 + CONTEXT);
    const std::size_t a_end = std::min(end, a.size()), b_end = std::min(end, b.size());
    const std::size_t a_first = std::min(first, a.size()), b_first = std::min(first, b.size());
    out += tty ? "\x1b[36m" : "";
    out.append("@@ -").append(range(a_first, a_end - a_first)).append(" +");
    out.append(range(b_first, b_end - b_first)).append(" @@");
    out += tty ? RESET : "";
    out += '\n';
    for (std::size_t j = first; j < end;) {
      if (!differs(j)) {
        put_line(' ', a[j], colour, out);
        ++j;
        continue;
      }
      std::size_t run_end = j;
      while (run_end < end && differs(run_end)) ++run_end;
      for (std::size_t r = j; r < run_end && r < a.size(); ++r) put_line('-', a[r], colour, out);
      for (std::size_t r = j; r < run_end && r < b.size(); ++r) put_line('+', b[r], colour, out);
      j = run_end;
    }
    i = k;
  }
}

}  // namespace morek
