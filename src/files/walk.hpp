// The files a directory operand stands for: those git lists inside a work
// tree, else those a walk of the directory finds; filtered, sorted, and
// without the kinds of file whose blanks a conversion must not touch.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kinds.hpp"

namespace morek {

// --include, --exclude and --exclude-dir, with GNU grep's meaning: globs
// (fnmatch) on a file's base name (include), its base name or path (exclude),
// and a directory's base name or path (exclude-dir).
struct walk_filters {
  std::vector<std::string> include;
  std::vector<std::string> exclude;
  std::vector<std::string> exclude_dir;
  // --all-files: files that tools write (lock files, minified assets) and
  // directories of fetched dependencies are taken in too.
  bool all_files = false;
};

// What a walk writes, for the kinds of file it must leave out: tabs, spaces
// only, or each file its own (then only the kinds that are never converted
// are left out of the list, and the rest is for the caller to decide).
enum class written { tabs, spaces, per_file };

// Whether a file reached through a directory is one a conversion would make
// invalid for its format, by its kind: patches and tab-separated data always,
// makefiles when no tab may be written, YAML when tabs may be.
bool kept_out(file_kind k, written w);

// Whether the filters take the file at path (below the operand).
bool filters_take_file(const walk_filters& f, std::string_view path);

// Whether the filters take the directory at path (below the operand).
bool filters_take_dir(const walk_filters& f, std::string_view path);

// What a directory operand stands for.
struct listing {
  std::vector<std::string> paths;   // below the operand, sorted bytewise
  std::vector<std::string> errors;  // what could not be listed, and why: each a failure
  std::string note;                 // git could not list it and it was walked instead: why
};

// Opens at most this many directories at once: a walk of any depth fits the
// smallest descriptor limit that -i fits.
inline constexpr std::size_t WALK_OPEN_DIRS = 4;

// The files under the directory open as dir: git's tracked and untracked, not ignored files inside a work tree
// (where git is installed and takes the tree as safe), else those a walk finds
// that skips .git, .hg and .svn. git runs from an absolute path found once,
// without the repository variables of the environment, and never fetches; a
// listed path that would leave the directory is refused. Symbolic links are
// never followed, and directories are opened relative to their parent,
// without following a link. Files that the filters or their kind leave out
// are not listed.
listing list_directory(int dir, const walk_filters& filters, written w);

}  // namespace morek
