// A buffer from an editor (--stdin-filename): standard input converted as
// the file it names would be in the file modes, and written to standard
// output; nothing is read from that file nor written to disk.
#pragma once

#include <string>

#include "files.hpp"

namespace morek {

// Reads all of standard input and converts it as run_files would convert the
// file path (which need not exist): its kind and language by its name and
// first line, its .editorconfig under opt.editorconfig (looked up from its
// directory), its regions left alone, the proof. By opt.mode: in_place
// writes the conversion to standard output, or the input as it came where
// the file would be left as it is (with its note on standard error); check
// writes nothing; diff writes the unified diff under path's name. Returns the
// exit status as run_files does for that one file: 2 when it failed (the
// input then goes out as it came, in_place), else 1 when check or diff found
// a change, else 0.
int run_stdin_file(const std::string& path, const file_options& opt);

}  // namespace morek
