// Converting files in place (-i), checking whether they are converted
// (--check) and showing what a conversion would change (--diff), for files
// and the trees that directory operands stand for.
#pragma once

#include <span>

#include "diff.hpp"
#include "file_settings.hpp"
#include "formats.hpp"
#include "walk.hpp"

namespace morek {

// What a run over files does.
enum class file_mode { in_place, check, diff };

// Which files and lines a run takes: all, or only those that differ from a
// revision in git, whole or only in the lines that differ.
enum class only_changed { no, files, lines };

struct file_options {
  file_mode mode = file_mode::in_place;
  bool trim = false;                        // -t
  walk_filters filters;                     // for the files directory operands stand for
  diff_colour colour = diff_colour::plain;  // --diff
  bool editorconfig = false;                // each file by the .editorconfig files that govern it
  command_line_style cli;                   // --editorconfig: what the command line says, which wins
  bool show_settings = false;               // --editorconfig: print each file's settings, convert nothing
  std::string cwd;                          // --diff: the current directory, for names outside it
  bool lang_auto = true;                    // --lang=auto: each file in the language its name gives
  language lang = language::text;           // else --lang's language, for every file
  unsigned jobs = 1;                        // files worked on at once (-j)
  check_format format = check_format::names;  // check: what a file that would change shows
  only_changed changed = only_changed::no;  // --changed, --changed-lines
  std::string since = "HEAD";               // their revision
};

// Converts each file as the filter would, with the settings in force, byte
// for byte, and proves each conversion before it counts (see
// convert_file_text): one that cannot be proven leaves its file as it is,
// with a note, and needs no change. A directory operand stands for the files
// under it (see list_directory), taken in byte order of their paths; of
// those, files with a NUL byte or a UTF-16 or UTF-32 byte order mark are left
// out quietly; named, they fail. check: writes nothing,
// but names each file whose conversion differs from it on standard output;
// diff: prints the unified diff of each such file instead; in place: each
// such file is replaced by its conversion. Failures are reported as "FILE:
// reason" on standard error, in the order of the files. Returns the exit
// status: 2 when some file failed, else 1 when check or diff found a file to
// change, else 0. editorconfig: each file is converted with the settings its
// .editorconfig files give it (see settings_from), and a file they give none
// is left alone; a .editorconfig that is refused is reported once, and the
// files it governs are left alone and count as failures. jobs: files are
// read, converted and judged that many at once, and everything is written
// and reported as one at a time would. format: check shows each file's
// findings in that format, within its frame, instead of its name. changed:
// only the files that differ from since (see changes_since), under each
// operand; lines: and only their lines that differ are converted and judged.
// A revision or tree that git cannot compare is a failure of the operand.
int run_files(std::span<char* const> operands, const file_options& opt);

}  // namespace morek
