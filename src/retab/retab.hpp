// The re-tabulation pass and its gap writer: runs of convertible spaces are
// written as tabs of width tab2 plus the spaces that reach the same column.
#pragma once

#include <cstddef>
#include <span>

#include "expand.hpp"
#include "settings.hpp"
#include "utf8.hpp"

namespace morek {

// What fills the gap from column from to column to (to > from).
struct gap {
  int tabs;
  int spaces;
};

// Tab stops of one width. Widths that are powers of two, the usual ones, are
// reckoned with shifts and masks instead of divisions.
struct tab_grid {
  int width;
  int shift;  // log2(width) when width is a power of two, else -1

  constexpr explicit tab_grid(int w) : width(w), shift((w & (w - 1)) == 0 ? __builtin_ctz(w) : -1) {}
  constexpr column stop_index(column c) const { return shift >= 0 ? c >> shift : c / width; }
  constexpr column offset(column c) const { return shift >= 0 ? c & (width - 1) : c % width; }
  // Columns from c to the next tab stop: 1 to width.
  constexpr column to_next_stop(column c) const { return width - offset(c); }
};

// A single space stays a space even when it ends on a tab stop.
constexpr gap chg_gap(column from, column to, const tab_grid& grid) {
  if (to == from + 1) return {0, 1};
  const int stops = grid.stop_index(to) - grid.stop_index(from);
  if (stops == 0) return {0, to - from};
  return {stops, grid.offset(to)};
}
constexpr gap chg_gap(column from, column to, int tab) { return chg_gap(from, to, tab_grid(tab)); }

// The gap writer: writes the gap from column from to column to at tab2, or
// in spaces alone under --spaces.
template <class Sink>
void chg_sp(column from, column to, Sink& out) {
  const gap g = spaces_only == 1 ? gap{0, to - from} : chg_gap(from, to, tab2);
  out.tabs(static_cast<std::size_t>(g.tabs));
  out.spaces(static_cast<std::size_t>(g.spaces));
}

// Writes one expanded line to out (put, newline, tabs, spaces). Runs of
// convertible spaces are held back; a run that nothing follows on the line
// is dropped.
template <class Sink>
void retab_line(std::span<const unsigned char> exp, const unsigned char* flg, Sink& out) {
  column col = 0;        // output column of the next byte
  bool in_run = false;   // a run of convertible spaces is pending
  column run_start = 0;  // output column of the pending run's first space
  for (std::size_t i = 0; i < exp.size(); ++i) {
    const unsigned char c = exp[i];
    if (c == '\n') {
      out.newline();
      return;
    }
    if (flg[i] == FLG_CONVERTIBLE && c == ' ') {
      if (!in_run) {
        run_start = col;
        in_run = true;
      }
      ++col;
      continue;
    }
    if (in_run) {
      chg_sp(run_start, col, out);
      in_run = false;
    }
    if (utf8_input == 1 && c >= 0x80) {
      // A UTF-8 character shows its display width.
      const utf8_char u = utf8_at(exp.data() + i, exp.size() - i);
      for (unsigned k = 0; k < u.len; ++k) out.put(exp[i + k]);
      i += u.len - 1;
      col += u.width;
      continue;
    }
    out.put(c);
    // Only a protected tab can reach here: the expansion turned the others into spaces.
    col += (c == '\t' && flg[i] == FLG_PROTECTED) ? tab2 - col % tab2 : 1;
  }
}

}  // namespace morek
