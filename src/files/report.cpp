#include "report.hpp"

#include "errmsg.hpp"
#include "names.hpp"
#include "replace.hpp"
#include "textio.hpp"

namespace morek {

std::string render_change(const change_style& style, std::string_view name, std::string_view before,
                          std::string_view after) {
  std::string shown;
  if (style.diff)
    unified_diff(diff_path(name, style.cwd), before, after, style.colour, shown);
  else
    shown.append(quoted_name(name)).append("\n");
  return shown;
}

std::string render_settings(std::string_view name, std::string_view what, std::string_view properties) {
  std::string shown = quoted_name(name);
  shown.append(": ").append(what).append("\n").append(properties);
  return shown;
}

namespace {

// Writes the bytes to standard error whole, unless the process is dying of a
// signal.
void to_stderr(std::string_view s) {
  if (!s.empty() && !cleanup_started()) (void)write_all(2, reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

}  // namespace

reporter::reporter(bool change_shown_whole, check_format format)
    : whole_(change_shown_whole), format_(format), waiting_(format_opening(format)) {}

void reporter::close() {
  waiting_.append(format_closing(format_));
  flush(true);
}

void reporter::preface(std::string_view lines) { to_stderr(lines); }

void reporter::failure(std::string_view name, std::string_view why) {
  failed_ = true;
  if (!why.empty()) note(name, why);
}

void reporter::note(std::string_view name, std::string_view why) {
  std::string line = quoted_name(name);
  line.append(": ").append(why).append("\n");
  to_stderr(line);
}

void reporter::change(std::string& shown) {
  if (changed_) shown.insert(0, format_separator(format_));
  changed_ = true;
  if (!whole_) {
    output(shown);
    return;
  }
  // Most of a file: it goes out as it is, after what waits.
  flush(true);
  waiting_.swap(shown);
  flush(true);
}

void reporter::output(std::string& lines) {
  waiting_.append(lines);
  lines.clear();
}

void reporter::flush(bool all) {
  if (waiting_.empty() || (!all && waiting_.size() < 64 * 1024)) return;
  if (!output_lost_ && !write_stdout(reinterpret_cast<const unsigned char*>(waiting_.data()), waiting_.size())) {
    errmsg("stdout: can't write\n");
    failed_ = true;
    output_lost_ = true;
  }
  waiting_.clear();
}

}  // namespace morek
