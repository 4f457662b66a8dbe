// --check --format: the findings of the files that would change, as the
// tools of CI and editors read them (gcc's lines, GitHub's workflow
// commands, JSON Lines, SARIF 2.1.0, checkstyle XML), or their names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "findings.hpp"

namespace morek {

enum class check_format { names, gcc, github, json, sarif, checkstyle };

// The format --format=name asks for; false for a name it does not know.
bool format_named(std::string_view name, check_format& f);
// "names, gcc, github, json, sarif, checkstyle".
std::string_view format_names();

// What a file that would change shows: its findings, in order. latin1: its
// bytes are Latin-1 characters, else UTF-8 where they form it.
std::string render_findings(check_format f, std::string_view name, const std::vector<finding>& found, bool latin1);

// What comes before the first file's findings, between two files' and after
// the last's: a document's frame.
std::string_view format_opening(check_format f);
std::string_view format_separator(check_format f);
std::string_view format_closing(check_format f);

}  // namespace morek
