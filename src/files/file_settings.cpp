#include "file_settings.hpp"

namespace morek {

namespace {

// A tab width from a property: a whole number from 1 to 256.
bool width_of(const std::string& v, int& w) {
  if (v.empty() || v.size() > 3) return false;
  int n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n < TAB_MIN || n > TAB_MAX) return false;
  w = n;
  return true;
}

}  // namespace

file_settings settings_in_force(bool trim) {
  file_settings s;  // final newlines as they are
  s.tab1 = tab1;
  s.tab2 = tab2;
  s.spaces_only = spaces_only;
  s.indent_only = indent_only;
  s.ign_str = ign_str;
  s.utf8_input = utf8_input;
  s.latin1_input = latin1_input;
  s.line_ends = line_ends;
  s.trim = trim;
  return s;
}

void put_in_force(const file_settings& s) {
  tab1 = s.tab1;
  tab2 = s.tab2;
  spaces_only = s.spaces_only;
  indent_only = s.indent_only;
  ign_str = s.ign_str;
  utf8_input = s.utf8_input;
  latin1_input = s.latin1_input;
  line_ends = s.line_ends;
}

bool settings_from(const ec_properties& props, const command_line_style& cli, file_settings& s, std::string& why) {
  auto get = [&](const char* key) {
    const auto it = props.values.find(key);
    return it == props.values.end() ? std::string() : ec_lowered(it->second);
  };
  const std::string style = get("indent_style"), tab = get("tab_width"), size = get("indent_size"),
                    eol = get("end_of_line"), trim = get("trim_trailing_whitespace"),
                    final = get("insert_final_newline"), charset = get("charset");
  // tab_width, else a numeric indent_size, else 8.
  int width = 8;
  const bool has_width = width_of(tab, width) || width_of(size, width);
  const bool acts = style == "tab" || style == "space" || has_width || eol == "lf" || eol == "crlf" || trim == "true" ||
                    final == "true" || final == "false" || charset == "utf-8" || charset == "utf-8-bom" ||
                    charset == "latin1" || charset == "utf-16be" || charset == "utf-16le";
  s = file_settings{};
  if (!acts) return false;
  if (charset == "utf-16be" || charset == "utf-16le") {
    why = "skipped: charset " + charset;
    return false;
  }
  s.tab1 = s.tab2 = width;
  // Without indent_style the blanks are kept as they are, unless the command
  // line asks for a style.
  s.spaces_only = cli.spaces || style == "space" ? 1 : 0;
  s.indent_only = style == "tab" || style == "space" || cli.spaces || cli.indent_only ? 1 : 2;
  s.line_ends = cli.eol_given ? cli.eol : eol == "lf" ? eol_mode::lf : eol == "crlf" ? eol_mode::crlf : eol_mode::keep;
  s.trim = cli.t || trim == "true";
  s.final = final == "true" ? final_newline::insert : final == "false" ? final_newline::remove : final_newline::keep;
  s.ign_str = cli.c ? 1 : 0;
  if (cli.utf8 || cli.latin1 || cli.sjis) {
    s.utf8_input = cli.utf8 ? 1 : 0;
    s.latin1_input = cli.latin1 ? 1 : 0;
  } else {
    s.latin1_input = charset == "latin1" ? 1 : 0;
    s.utf8_input = s.latin1_input == 1 ? 0 : 1;  // UTF-8 unless the file says Latin-1
  }
  return true;
}

std::string describe(const file_settings& s) {
  std::string d = "tab " + std::to_string(s.tab1);
  d += s.indent_only == 2 ? ", indent kept" : s.spaces_only == 1 ? ", indent spaces" : ", indent tabs";
  d += s.line_ends == eol_mode::lf ? ", eol lf" : s.line_ends == eol_mode::crlf ? ", eol crlf" : ", eol kept";
  if (s.trim) d += ", trim";
  if (s.final == final_newline::insert) d += ", final newline";
  if (s.final == final_newline::remove) d += ", no final newline";
  if (s.ign_str == 1) d += ", literals kept";
  d += s.utf8_input == 1 ? ", utf8" : s.latin1_input == 1 ? ", latin1" : ", sjis";
  return d;
}

}  // namespace morek
