// Where a file is: its directory, held open, and its name there; for a file
// named on the command line and for one a walk reached below a directory
// operand. Every later step works relative to that directory.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace morek {

// A directory held open for the files in it, which are opened, replaced and
// removed relative to it.
struct dir_handle {
  int fd = -1;
  std::string path;      // as it was opened
  std::string absolute;  // from the root, links resolved; only where it was asked for
  explicit dir_handle(int f, std::string p, std::string a = {}) : fd(f), path(std::move(p)), absolute(std::move(a)) {}
  dir_handle(const dir_handle&) = delete;
  dir_handle& operator=(const dir_handle&) = delete;
  ~dir_handle();
};
using shared_dir = std::shared_ptr<const dir_handle>;

// A file's directory and name.
struct place {
  shared_dir dir;
  std::string base;
};

enum class found {
  yes,   // at is set
  gone,  // reached through a directory, and no longer there
  no,    // why says why
};

// Finds files, opening each directory once for the files in it that come
// one after the other.
class locator {
 public:
  // absolute: directories carry their absolute paths (for .editorconfig lookups).
  explicit locator(bool absolute) : absolute_(absolute) {}

  // The file an operand names. A symbolic link is resolved once, here: what
  // it leads to is the file. Its kind is decided before anything is opened,
  // so that a FIFO or a device never is: a directory is "is a directory",
  // anything else but a regular file "is not a regular file".
  found operand(const std::string& name, place& at, std::string& why);

  // The file at path below the directory operand root: each directory on
  // the way is opened relative to the one above it, never through a link, so
  // a directory swapped for a link during the run leads nowhere.
  found below(const shared_dir& root, const std::string& path, place& at, std::string& why);

  // A directory operand, opened (through a link, if it is one); null with
  // errno set when it cannot be.
  shared_dir open_root(const char* operand) const;

  // Lets go of the directory kept for the next file.
  void release() { last_.reset(); }

 private:
  bool absolute_;
  shared_dir last_;                        // the directory of the last file
  const dir_handle* last_root_ = nullptr;  // and the operand it was reached below, if any
};

// "what: the system's words for e".
std::string with_errno(const char* what, int e);

// The name a file reached below a directory operand gets: the operand and
// the path below it, or the path alone below ".".
std::string joined_name(std::string_view operand, const std::string& below);

// dir/name, for an absolute dir.
std::string joined_path(const std::string& dir, const std::string& name);

// The absolute path of the directory open as fd, which was opened as path,
// with no link in it: realpath's answer, or the kernel's, where it still
// names that directory (one above may have been renamed, or swapped for a
// link, since); else, for a relative path without links, the current
// directory's joined with it; else climbed_path's. Empty when none can tell.
std::string directory_path(const std::string& path, int fd);

// The absolute path of the directory open as fd, found by climbing through
// ".." and looking each directory up by its device and inode in the one
// above: it needs to read each directory above, not /proc. Empty when one
// cannot be read.
std::string climbed_path(int fd);

// Whether the operand is a directory (through a link too).
bool is_directory(const char* operand);

}  // namespace morek
