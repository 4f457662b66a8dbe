#include "stdin_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

#include "byte_buffer.hpp"
#include "editorconfig.hpp"
#include "errmsg.hpp"
#include "file_work.hpp"
#include "kinds.hpp"
#include "languages.hpp"
#include "locate.hpp"
#include "names.hpp"
#include "report.hpp"
#include "textio.hpp"

namespace morek {

namespace {

// path made absolute by the letters alone, "." and ".." taken away: its
// directory need not exist, so nothing on the way can be resolved.
std::string lexical_absolute(const std::string& path, const std::string& cwd) {
  const std::string whole = !path.empty() && path[0] == '/' ? path : cwd + "/" + path;
  std::vector<std::string_view> parts;
  const std::string_view w = whole;
  for (std::size_t at = 0; at <= w.size();) {
    std::size_t slash = w.find('/', at);
    if (slash == std::string_view::npos) slash = w.size();
    const std::string_view part = w.substr(at, slash - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = slash + 1;
  }
  std::string r;
  for (const std::string_view part : parts) r.append("/").append(part);
  return r.empty() ? "/" : r;
}

// The .editorconfig properties of path: from its directory, open, as the
// file modes find them, else from its path as written.
ec_properties properties_of(const std::string& path, const std::string& cwd) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  ec_lookup lookup;
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return lookup.properties(lexical_absolute(path, cwd));
  const std::string absolute = directory_path(dir, fd);
  ec_properties props = lookup.properties(absolute.empty() ? std::string() : joined_path(absolute, base), fd);
  ::close(fd);
  return props;
}

bool write_out(std::string_view t) {
  if (write_stdout(reinterpret_cast<const unsigned char*>(t.data()), t.size())) return true;
  errmsg("stdout: can't write\n");
  return false;
}

}  // namespace

int run_stdin_file(const std::string& path, const file_options& opt) {
  reporter report(opt.mode == file_mode::diff, check_format::names);
  byte_buffer bytes;
  if (!bytes.read_from(0, 0)) {
    report.failure("stdin", errno == ENOMEM ? std::string("cannot get memory") : with_errno("can't read", errno));
    return report.status();
  }
  const std::string_view text = bytes.view();
  const bool to_stdout = opt.mode == file_mode::in_place;
  // Whatever becomes of it, the buffer comes back whole.
  auto as_it_came = [&](int status) { return !to_stdout || write_out(text) ? status : 2; };

  file_settings settings = settings_in_force(opt.trim);
  if (opt.editorconfig) {
    const ec_properties props = properties_of(path, opt.cwd);
    for (const auto& [file, why] : props.notes) report.note(file, why);
    if (!props.error.empty()) {
      report.failure(props.error_file.empty() ? path : props.error_file, props.error);
      return as_it_came(report.status());
    }
    std::string why;
    if (!settings_from(props, opt.cli, settings, why)) {
      if (!why.empty()) report.note(path, why);
      return as_it_came(report.status());
    }
  }
  const std::size_t slash = path.rfind('/');
  const std::string_view base = slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
  const std::string_view head = text.substr(0, 256);
  const file_verdict fv = convert_file_text({.bytes = text,
                                             .settings = settings,
                                             .lang = file_language(opt.lang_auto, opt.lang, base, head),
                                             .kind = kind_of(base, head),
                                             .regions = true});
  if ((fv.v == verdict::same || fv.v == verdict::changed) && !fv.note.empty()) report.note(path, fv.note);  // what was kept
  switch (fv.v) {
    case verdict::same:
      break;
    case verdict::unproven:
      report.note(path, fv.note);
      break;
    case verdict::binary:
    case verdict::failed:
      report.failure(path, fv.note);
      break;
    case verdict::changed:
      if (to_stdout) return write_out(fv.text.view()) ? 0 : 2;
      std::string shown = render_change({.diff = opt.mode == file_mode::diff, .colour = opt.colour, .cwd = opt.cwd},
                                        path, text, fv.text.view());
      // --check says it by its status alone.
      if (opt.mode == file_mode::check) shown.clear();
      report.change(shown);
      report.flush(true);
      return report.status();
  }
  return as_it_came(report.status());
}

}  // namespace morek
