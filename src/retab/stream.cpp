#include "stream.hpp"

#include <cstdint>

#include "convert.hpp"
#include "settings.hpp"

namespace morek {

std::size_t trim_line(unsigned char* line, std::size_t n) {
  const bool has_newline = n > 0 && line[n - 1] == '\n';
  std::size_t end = n;
  while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t' || line[end - 1] == '\n')) --end;
  if (has_newline) line[end++] = '\n';
  return end;
}

namespace {

static_assert(text_reader::PAD >= CONVERT_PAD);

std::uint64_t special_mask[mask_words(text_reader::BLOCK)];

// Lines that end in a newline within the window and are no longer than the
// line reader would deliver whole are converted where they stand. The rest
// (pieces of long lines, lines too long, an unfinished last line) go through
// the line reader and in_buf, one line at a time.
template <bool CMode, charset Enc, bool IndentOnly>
stream_result convert_all(text_reader& reader, unsigned char* in_buf, bool trim) {
  stream_result result;
  lex_state lex;
  // Only --eol=keep writes line ends as they came; the rest need not look.
  const bool keep = line_ends == eol_mode::keep;
  const auto read_max = static_cast<std::size_t>(BUFSIZE) - 1;
  // Longest line, newline included, that is converted in the window.
  const std::size_t fast_max = read_max < LINE_LIMIT - 1 ? read_max : LINE_LIMIT - 1;
  const std::size_t room = convert_bound(fast_max, tab1);
  const grids g;
  // The window starts with the rest of a long line, whose first piece went
  // through the line reader.
  bool continuing = false;

  bool more = reader.read_more();
  for (;;) {
    const unsigned char* const w = reader.window();
    const std::size_t len = reader.window_size();
    if (len == 0 && !more) return result;
    classify<CMode>(w, len, special_mask);

    std::size_t s = 0;  // start of the next line in the window
    bool by_line_reader = false;
    while (s < len) {
      // Converted on trust: a line that turns out longer than fast_max, or
      // unfinished, is taken back, and so is one whose trailing blanks -t cuts.
      unsigned char* o = out_reserve(room);
      const lex_state before = lex;
      const std::size_t to = len - s > fast_max ? s + fast_max : len;
      converted c = convert_masked<CMode, Enc, IndentOnly>(w, special_mask, s, to, lex, g, o, !continuing);
      if (!c.newline) {
        lex = before;
        by_line_reader = len - s >= fast_max || !more;
        break;
      }
      if (trim && c.end - s >= 2 && (w[c.end - 2] == ' ' || w[c.end - 2] == '\t')) {
        lex = before;
        std::size_t cut = c.end - 1;
        // A makefile's recipe line keeps the tab it begins with.
        const std::size_t least = g.makefile && !continuing && w[s] == '\t' ? s + 1 : s;
        while (cut > least && (w[cut - 1] == ' ' || w[cut - 1] == '\t')) --cut;
        c.out = convert_masked<CMode, Enc, IndentOnly>(w, special_mask, s, cut, lex, g, o, !continuing).out;
      }
      continuing = false;
      out_commit(line_end(c.out, keep && reader.crlf_at(c.end - 1)));
      ++result.lines;
      s = c.end;
    }
    reader.consume(s);

    if (by_line_reader) {
      const std::size_t got = reader.get_line(in_buf, read_max);
      if (got == 0) return result;
      in_buf[got] = 0;
      if (got >= LINE_LIMIT) {
        result.too_long = got;
        return result;
      }
      const bool whole_line = in_buf[got - 1] == '\n';
      const std::size_t n = !trim ? got : g.makefile && !continuing && in_buf[0] == '\t' ? 1 + trim_line(in_buf + 1, got - 1) : trim_line(in_buf, got);
      out_commit(
          convert_line(in_buf, n, lex, out_reserve(convert_bound(n, tab1)), reader.last_line_had_cr(), !continuing));
      if (whole_line) ++result.lines;
      continuing = !whole_line;
      more = true;
      continue;
    }
    more = reader.read_more();
  }
}

}  // namespace

stream_result convert_stream(text_reader& reader, unsigned char* in_buf, bool trim) {
  return with_scan_settings([&]<bool CMode, charset Enc, bool IndentOnly>() {
    return convert_all<CMode, Enc, IndentOnly>(reader, in_buf, trim);
  });
}

}  // namespace morek
