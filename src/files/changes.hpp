// What differs from a revision in a git work tree: the files (--changed) and,
// in each, the lines that git's diff gives as added or changed
// (--changed-lines).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "file_work.hpp"

namespace morek {

// Every line of a file: one that git does not track.
inline constexpr line_range EVERY_LINE{1, SIZE_MAX};

struct change_set {
  // By path below the directory: the files that differ from the revision,
  // those deleted since left out; with lines, each with the lines of its new
  // side that differ (a file new since is new in every line), and only files
  // that have one.
  std::map<std::string, line_selection> files;
  std::string error;  // not empty: nothing is known, and why
};

// The files below the directory open as dir that differ from the revision
// ref: staged, unstaged, and untracked but not ignored. git runs as run_git
// runs it, and with no external diff, text conversion, clean filter or
// colour, whatever the tree's configuration and attributes say.
change_set changes_since(int dir, const std::string& ref, bool lines);

// Adds to files, by path, the lines that the patch (git diff -U0 or with
// context, its new side named b/...) gives as added on its new side. False
// when it is not such a patch.
bool added_lines(std::string_view patch, std::map<std::string, line_selection>& files);

}  // namespace morek
