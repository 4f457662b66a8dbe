// What kind of file a name says a file is, or, where the name says nothing,
// its first line: the one table of names that the walks, the rules for
// makefiles and Python, and the hooks' exclusions follow.
#pragma once

#include <functional>
#include <span>
#include <string_view>

#include "languages.hpp"

namespace morek {

enum class file_kind {
  other,
  makefile,   // a line that begins with a tab is a recipe line
  yaml,       // no tab may indent it
  python,     // its indentation must order the same at tab sizes 8 and 1
  patch,      // its lines' first bytes are the patch's own
  tsv,        // its tabs are data
  generated,  // written by a tool (lock files, minified assets): the tool's to rewrite
};

// How a name matches an entry of the table.
enum class name_match { exact, prefix, suffix };

struct kind_name {
  name_match how;
  std::string_view text;
  file_kind kind;
};

// The table, first match wins.
std::span<const kind_name> kind_names();

// The kind that a file's base name gives; other when none.
file_kind kind_by_name(std::string_view base);

// The kind that a file's first line gives: "#!" naming python, or make with
// -f; "%YAML". other when none.
file_kind kind_by_first_line(std::string_view line);

// The kind of a file by its base name, else, for a name without a known
// extension, by its first line (the bytes at its start: what follows the
// first newline is not looked at).
file_kind kind_of(std::string_view base, std::string_view head);

// The language a file is read in: by its name, else, for a name without a
// known extension, by its first line (head, as for kind_of).
language language_of(std::string_view base, std::string_view head);

// Whether a directory named name holds dependencies that a tool fetched:
// node_modules and .venv, vendor where it holds modules.txt, target where a
// Cargo.toml stands beside it. holds(file) and beside(file) answer whether
// the directory, or the one it is in, holds a file of that name.
bool fetched_directory(std::string_view name, const std::function<bool(const char*)>& holds,
                       const std::function<bool(const char*)>& beside);

}  // namespace morek
