// A makefile's lines, as make reads their blanks: a line that begins with a
// tab is a recipe line, whose blanks are the shell's; a line after a
// backslash-newline goes on with the one before; the body of a define is a
// variable's value; an assignment's value ends with the blanks before its
// line end. Those keep every blank. Of the other lines only the indentation
// may change, and never into a tab that would make a recipe line of them.
// Shared by the converter, which follows it, and the proof, which checks it.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace morek {

// What the lines before tell of the next one.
struct make_state {
  bool continued = false;       // the line before ended with a backslash: this one goes on with it
  unsigned defines = 0;         // define bodies open (they nest)
  bool prefix_changed = false;  // .RECIPEPREFIX was set: recipe lines may begin with anything, so every line is kept
};

namespace make_detail {

inline bool blank(unsigned char c) { return c == ' ' || c == '\t'; }

// Whether the words at the start of line[0, n) (after blanks) are define's
// (after override, export, private or unexport) or, with end, endef's.
inline bool directive(const unsigned char* line, std::size_t n, bool end) {
  std::size_t i = 0;
  for (;;) {
    while (i < n && blank(line[i])) ++i;
    std::size_t e = i;
    while (e < n && !blank(line[e]) && line[e] != '#') ++e;
    const std::size_t len = e - i;
    auto is = [&](const char* w) { return len == std::strlen(w) && std::memcmp(line + i, w, len) == 0; };
    if (end) return is("endef");
    if (is("define")) return true;
    if (!(is("override") || is("export") || is("private") || is("unexport"))) return false;
    i = e;
  }
}

}  // namespace make_detail

// Whether the line line[0, n) (its line end left out) is kept whole, every
// blank as it is: a recipe line, a line that goes on with the one before, a
// line of a define's body, or any line after .RECIPEPREFIX is set.
inline bool make_line_kept(const unsigned char* line, std::size_t n, const make_state& st) {
  return st.continued || st.defines > 0 || st.prefix_changed || (n > 0 && line[0] == '\t');
}

// Whether -t must leave the blanks at the end of the line: those of a kept
// line, those after a backslash (cut, they would join the next line to it),
// and those of any line with a '=', an assignment whose value they may end.
inline bool make_tail_kept(const unsigned char* line, std::size_t n, const make_state& st) {
  if (make_line_kept(line, n, st)) return true;
  std::size_t e = n;
  while (e > 0 && make_detail::blank(line[e - 1])) --e;
  return (e > 0 && line[e - 1] == '\\') || std::memchr(line, '=', e) != nullptr;
}

// The state after the line line[0, n) (its line end left out).
inline void make_advance(make_state& st, const unsigned char* line, std::size_t n) {
  const bool goes_on = st.continued;
  st.continued = n > 0 && line[n - 1] == '\\';
  if (!goes_on) {
    // A define opens (nested ones too, tab or not: keeping longer is safe);
    // an endef closes one only on a line without a tab, as make reads it.
    if (make_detail::directive(line, n, false)) {
      ++st.defines;
    } else if (st.defines > 0 && (n == 0 || line[0] != '\t') && make_detail::directive(line, n, true)) {
      --st.defines;
    }
  }
  if (std::string_view(reinterpret_cast<const char*>(line), n).find(".RECIPEPREFIX") != std::string_view::npos)
    st.prefix_changed = true;
}

}  // namespace morek
