// The settings one file is converted with: those of the command line, or,
// under --editorconfig, those its .editorconfig properties give, with the
// command line's options winning. Put in force for the file, and described
// for --show-settings.
#pragma once

#include <string>

#include "editorconfig.hpp"
#include "settings.hpp"

namespace morek {

// What the last line end of a file becomes.
enum class final_newline { keep, insert, remove };

struct file_settings {
  int tab1 = 8;
  int tab2 = 8;
  int spaces_only = 0;
  int indent_only = 0;  // 2: no indentation at all, every blank kept (no indent_style)
  int ign_str = 0;
  int utf8_input = 0;
  int latin1_input = 0;
  eol_mode line_ends = eol_mode::keep;
  bool trim = false;
  final_newline final = final_newline::keep;
};

// The options of the command line that win over properties: each is given
// or not.
struct command_line_style {
  bool c = false, t = false, utf8 = false, latin1 = false, sjis = false, spaces = false, indent_only = false;
  bool eol_given = false;
  eol_mode eol = eol_mode::keep;
};

// The settings now in force (those of the command line).
file_settings settings_in_force(bool trim);

// Makes s the settings in force.
void put_in_force(const file_settings& s);

// What the properties make of a file. False when they say to leave it alone:
// no property that morek acts on applies (why empty), or its charset is
// UTF-16 (why says so).
bool settings_from(const ec_properties& props, const command_line_style& cli, file_settings& s, std::string& why);

// "tab 8, indent tabs, eol lf, trim, final newline, utf8".
std::string describe(const file_settings& s);

}  // namespace morek
