// What is wrong on each line a conversion would change, in words a person
// acts on: found on the worker that converts the file, shown by the formats.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "file_settings.hpp"

namespace morek {

enum class finding_kind : unsigned char {
  indent_tabs,      // tabs where spaces are asked for
  indent_spaces,    // spaces where tabs are asked for
  indent_mixed,     // a space before a tab, or both where spaces are asked for
  indent_width,     // tabs of another width
  trailing_blanks,  // blanks at the end of the line
  inner_blanks,     // blanks after the indentation, written otherwise
  line_end,         // a line end other than the one asked for
  final_newline,    // none at the end of the file, or one where none is asked for
};

struct finding_kind_info {
  finding_kind kind;
  std::string_view id;       // stable: rule ids and sources are made of it
  std::string_view summary;  // what the kind is, for a rule's description
};

// Every kind, in the order of finding_kind.
std::span<const finding_kind_info> finding_kinds();
const finding_kind_info& info_of(finding_kind k);

// Found by the thousand in a tree: nothing of its own on the heap.
struct finding {
  std::size_t line;    // from 1
  std::size_t column;  // from 1, in characters of the file's encoding
  finding_kind kind;
  std::string_view says;  // what is wrong, in words; line_end: empty (see message)
  std::size_t crs_was = 0, crs_now = 0;  // line_end: the CRs before the LF, and those asked for
  std::string_view fixed;  // the line as the conversion writes it, its line end included
};

// What is wrong, in words: "line ends in CR LF where LF is asked for".
std::string message(const finding& f);

// One finding for each line of before that after writes otherwise (lines
// split after each LF), saying the first thing wrong on it; fixed views
// after. s says what was asked for and how the file's characters are counted.
std::vector<finding> find_changes(std::string_view before, std::string_view after, const file_settings& s);

// The line of t that starts at at, its LF included; at moves past it.
std::string_view next_line(std::string_view t, std::size_t& at);

}  // namespace morek
