// Regions left alone: from a line that holds "morek: off" to the next line
// that holds "morek: on", both lines included, found with the file's lexer so
// that a marker inside a literal is no marker.
#pragma once

#include <cstddef>
#include <string_view>

#include "file_work.hpp"
#include "languages.hpp"

namespace morek {

struct regions_found {
  std::size_t count = 0;  // regions, however they touch
  line_selection lines;   // their lines, ranges apart from each other; an open end is SIZE_MAX
};

// The regions of text, read in lang: a line with an "off" marker outside a
// region starts one, and the region ends after the first line with an "on"
// marker (the last marker on a line decides, so that "off ... on" on one line
// is a region of that line). A second "off" inside a region is part of it, an
// "on" outside one is nothing, and an "off" without "on" runs to the end. A
// marker is the words as they are, outside any literal of lang, and not part
// of a longer word.
regions_found find_regions(std::string_view text, language lang);

// The lines of a text that lie outside alone, counted from 1 with no end, as
// a selection; within lines when lines is not null.
line_selection outside(const line_selection& alone, const line_selection* lines);

}  // namespace morek
