// .editorconfig files: parsing, section globs compiled once and matched in
// linear time, and the lookup of a file's properties through the files of
// its directory and those above it, each read once per run. Written to bound
// what a hostile file can cost: lengths, nesting and sizes have limits, and
// going past one is an error that names the file and its line.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morek {

// What matching one file's path against every glob that may apply to it may
// cost, in states visited: plain globs need a few thousand; past this the
// file is left alone, with a message, whatever its .editorconfig files hold.
inline constexpr std::size_t EC_MATCH_BUDGET = 1 << 20;

// Limits past which a .editorconfig is refused (the format asks cores to
// accept names up to 1024 bytes, keys up to 1024 and values up to 4096).
inline constexpr std::size_t EC_MAX_FILE = 1 << 20;
inline constexpr std::size_t EC_MAX_NAME = 4096;
inline constexpr std::size_t EC_MAX_KEY = 1024;
inline constexpr std::size_t EC_MAX_VALUE = 4096;
inline constexpr std::size_t EC_MAX_NESTING = 32;
inline constexpr std::size_t EC_MAX_STATES = 16384;

// A section glob compiled to a small automaton, matched by following every
// state at once: no backtracking, so no input can make a match slow.
class ec_glob {
 public:
  // Compiles the glob of a section of a .editorconfig: a glob without a '/'
  // matches at any depth, one with a '/' from the file's own directory.
  // False, with why set, when it is past the limits.
  bool compile(std::string_view section, std::string& why);
  // Whether path, relative to the .editorconfig's directory, matches.
  bool matches(std::string_view path) const;
  // The same, spending at most budget steps (one a state visited), which it
  // lowers by what it spent: nullopt when they ran out.
  std::optional<bool> matches(std::string_view path, std::size_t& budget) const;

 private:
  enum class op : std::uint8_t { byte, any_but_slash, any, set, split, number, match };
  struct state {
    op kind = op::match;
    unsigned char byte = 0;
    std::uint32_t out = 0, out2 = 0;  // next state(s)
    std::int32_t set = -1;            // set: index into sets_; number: index into ranges_
  };
  struct byte_set {
    std::uint64_t bits[4] = {};
    bool has(unsigned char c) const { return (bits[c >> 6] >> (c & 63) & 1) != 0; }
  };
  std::vector<state> states_;
  std::vector<byte_set> sets_;
  std::vector<std::pair<long long, long long>> ranges_;
  std::uint32_t start_ = 0;
  bool never_ = false;  // a name that ends in '/' matches no file
  // Room for matching, kept from one path to the next.
  mutable std::vector<std::vector<std::uint32_t>> at_;
  mutable std::vector<std::uint64_t> seen_;
  mutable std::uint64_t generation_ = 0;

  friend struct glob_compiler;
};

// One .editorconfig, parsed.
struct ec_file {
  struct section {
    ec_glob glob;
    std::vector<std::pair<std::string, std::string>> pairs;  // keys lowercased
  };
  bool root = false;
  std::vector<section> sections;
  std::string error;  // "line N: reason" when the file is refused
  std::string not_read;  // why a file that is there was not read, as if it were not there
};

// s in ASCII lower case, whatever the locale: keys, and the values of the
// known properties, are compared so.
std::string ec_lowered(std::string_view s);

// Parses text, the content of a .editorconfig.
ec_file parse_editorconfig(std::string_view text);

// What the properties that apply to a file come to.
struct ec_properties {
  std::map<std::string, std::string> values;  // key to value, "unset" ones removed
  // What an EditorConfig core prints: key and value in the order the keys
  // were first set, "unset" ones kept, with the values it derives.
  std::vector<std::pair<std::string, std::string>> shown;
  std::string error;                          // a .editorconfig that governs the file was refused: why
  std::string error_file;                     // and which
  std::vector<std::pair<std::string, std::string>> notes;  // each .editorconfig on the way left unread, and why
};

// Finds the properties of files by their absolute paths, reading each
// directory's .editorconfig once. A .editorconfig is read only when it is a
// regular file, looked at before it is opened, and owned by the user who
// runs morek or by root, as git trusts a repository.
class ec_lookup {
 public:
  ec_properties properties(const std::string& absolute_path);
  // The same, for a file whose directory is open as dir_fd: each directory
  // on the way up is opened from it by "..", never by its path.
  ec_properties properties(const std::string& absolute_path, int dir_fd);

 private:
  // The .editorconfig of dir, ups levels above the directory open as dir_fd,
  // or by its path when dir_fd is -1.
  const ec_file& file_of(const std::string& dir, int dir_fd, std::size_t ups = 0);
  std::map<std::string, std::unique_ptr<ec_file>> files_;
};

}  // namespace morek
