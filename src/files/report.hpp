// What a run over files tells, in the order of the files: on standard output
// the names of the files that would change (--check) or their findings
// (--format), their diffs (--diff) or their settings (--show-settings); on
// standard error notes and failures; and the exit status all that comes to.
// What a file shows is rendered from its texts on any thread, and written in
// order on one.
#pragma once

#include <string>
#include <string_view>

#include "diff.hpp"
#include "formats.hpp"

namespace morek {

// How a file that would change is shown.
struct change_style {
  bool diff = false;                        // its unified diff, else its name
  diff_colour colour = diff_colour::plain;  // diff
  std::string cwd;                          // diff: the current directory, for names outside it
};

// What a file that would change puts on standard output, from its text
// before and after: its name on a line, or its diff.
std::string render_change(const change_style& style, std::string_view name, std::string_view before,
                          std::string_view after);

// --show-settings: "NAME: what" and the properties' lines after it.
std::string render_settings(std::string_view name, std::string_view what, std::string_view properties);

// Writes what the files report, in their order, on one thread at a time.
class reporter {
 public:
  // change_shown_whole: what a changed file shows is large (a diff), and
  // goes out at once rather than with the names after it.
  // format: what changes show is framed as its documents are (the opening
  // waits at once, the closing comes with close).
  reporter(bool change_shown_whole, check_format format);

  // Lines for standard error that come before a file's own (a
  // .editorconfig named once).
  void preface(std::string_view lines);
  // A file failed: "NAME: why" unless why is empty; the run ends with 2.
  void failure(std::string_view name, std::string_view why);
  // "NAME: why", which changes nothing of the status.
  void note(std::string_view name, std::string_view why);
  // A file would change and shows this (taken); the run ends with 1 at least.
  void change(std::string& shown);
  // Other lines for standard output (taken).
  void output(std::string& lines);
  // Writes out what waits: all of it, or only as much as fills a write.
  void flush(bool all);
  // Ends the output with the format's closing, and writes out all that waits.
  void close();

  // Standard output could not be written: said once, and the run stops.
  bool output_lost() const { return output_lost_; }
  // 2 when a file failed, else 1 when one would change, else 0.
  int status() const { return failed_ ? 2 : changed_ ? 1 : 0; }

 private:
  bool whole_;
  bool failed_ = false;
  bool changed_ = false;
  bool output_lost_ = false;
  check_format format_;
  std::string waiting_;  // for standard output, not yet written
};

}  // namespace morek
