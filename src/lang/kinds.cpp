#include "kinds.hpp"

#include <array>

namespace morek {

namespace {

constexpr std::array table{
    // Written by tools; before the kinds they also are (pnpm-lock.yaml).
    kind_name{name_match::exact, "package-lock.json", file_kind::generated},
    kind_name{name_match::exact, "go.sum", file_kind::generated},
    kind_name{name_match::exact, "Cargo.lock", file_kind::generated},
    kind_name{name_match::exact, "poetry.lock", file_kind::generated},
    kind_name{name_match::exact, "Gemfile.lock", file_kind::generated},
    kind_name{name_match::exact, "composer.lock", file_kind::generated},
    kind_name{name_match::exact, "yarn.lock", file_kind::generated},
    kind_name{name_match::exact, "pnpm-lock.yaml", file_kind::generated},
    kind_name{name_match::suffix, ".min.js", file_kind::generated},
    kind_name{name_match::suffix, ".min.css", file_kind::generated},
    // Makefiles, by the names make, BSD make and the kernel's build read
    // first, the makefile fragments and templates named Makefile.am,
    // Makefile.in, Makefile.inc, Makefile.linux and the like (but not
    // Makefile.PL, Makefile.toml, Makefile.py: a name whose extension is
    // another format's is that format), and the names of included ones.
    kind_name{name_match::exact, "Makefile", file_kind::makefile},
    kind_name{name_match::exact, "makefile", file_kind::makefile},
    kind_name{name_match::exact, "GNUmakefile", file_kind::makefile},
    kind_name{name_match::exact, "BSDmakefile", file_kind::makefile},
    kind_name{name_match::exact, "Kbuild", file_kind::makefile},
    kind_name{name_match::prefix, "Makefile.", file_kind::makefile},
    kind_name{name_match::prefix, "makefile.", file_kind::makefile},
    kind_name{name_match::suffix, ".mk", file_kind::makefile},
    kind_name{name_match::suffix, ".mak", file_kind::makefile},
    kind_name{name_match::suffix, ".make", file_kind::makefile},
    // YAML, and the known files that are YAML without saying so.
    kind_name{name_match::suffix, ".yml", file_kind::yaml},
    kind_name{name_match::suffix, ".yaml", file_kind::yaml},
    kind_name{name_match::exact, "CITATION.cff", file_kind::yaml},
    kind_name{name_match::exact, ".clang-format", file_kind::yaml},
    kind_name{name_match::exact, ".clang-tidy", file_kind::yaml},
    kind_name{name_match::exact, ".clangd", file_kind::yaml},
    kind_name{name_match::exact, ".gemrc", file_kind::yaml},
    kind_name{name_match::exact, ".condarc", file_kind::yaml},
    kind_name{name_match::exact, ".yamllint", file_kind::yaml},
    // Tools' settings in YAML or in JSON, which YAML reads too: no tab in
    // their indentation either way.
    kind_name{name_match::exact, ".prettierrc", file_kind::yaml},
    kind_name{name_match::exact, ".eslintrc", file_kind::yaml},
    kind_name{name_match::exact, ".stylelintrc", file_kind::yaml},
    kind_name{name_match::suffix, ".py", file_kind::python},
    kind_name{name_match::suffix, ".pyi", file_kind::python},
    kind_name{name_match::suffix, ".pyw", file_kind::python},
    kind_name{name_match::suffix, ".patch", file_kind::patch},
    kind_name{name_match::suffix, ".diff", file_kind::patch},
    kind_name{name_match::suffix, ".tsv", file_kind::tsv},
};

// A file whose name has the extension of a language or of these formats is
// what its name says, whatever its first line.
bool has_known_extension(std::string_view base) {
  if (language_by_name(base) != language::text) return true;
  const std::size_t dot = base.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  const std::string_view ext = base.substr(dot + 1);
  for (const std::string_view format : {"json", "toml", "md", "txt", "rst", "html", "xml", "ini", "cfg"})
    if (ext == format) return true;
  return false;
}

bool matches(const kind_name& k, std::string_view base) {
  switch (k.how) {
    case name_match::exact:
      return base == k.text;
    case name_match::prefix:
      return base.size() > k.text.size() && base.substr(0, k.text.size()) == k.text;
    default:
      return base.size() > k.text.size() && base.substr(base.size() - k.text.size()) == k.text;
  }
}

bool blank(char c) { return c == ' ' || c == '\t'; }

// The next word of s from at on, blanks skipped.
std::string_view word(std::string_view s, std::size_t& at) {
  while (at < s.size() && blank(s[at])) ++at;
  const std::size_t from = at;
  while (at < s.size() && !blank(s[at])) ++at;
  return s.substr(from, at - from);
}

}  // namespace

std::span<const kind_name> kind_names() { return table; }

file_kind kind_by_name(std::string_view base) {
  for (const kind_name& k : table) {
    if (!matches(k, base)) continue;
    if (k.how == name_match::prefix && has_known_extension(base)) continue;  // Makefile.PL is Perl
    return k.kind;
  }
  return file_kind::other;
}

file_kind kind_by_first_line(std::string_view line) {
  line = line.substr(0, line.find('\n'));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
  if (line.substr(0, 5) == "%YAML") return file_kind::yaml;
  if (language_by_first_line(line) == language::python) return file_kind::python;
  const std::string_view program = interpreter_of(line);
  if (program == "make" || program == "gmake" || program == "bmake") {
    // The program is a view into the line: its arguments follow it.
    std::size_t at = static_cast<std::size_t>(program.data() + program.size() - line.data());
    for (std::string_view w = word(line, at); !w.empty(); w = word(line, at))
      if (w == "-f" || (w.size() > 2 && w[0] == '-' && w[1] != '-' && w.back() == 'f')) return file_kind::makefile;
  }
  return file_kind::other;
}

file_kind kind_of(std::string_view base, std::string_view head) {
  const file_kind k = kind_by_name(base);
  return k != file_kind::other || has_known_extension(base) ? k : kind_by_first_line(head);
}

language language_of(std::string_view base, std::string_view head) {
  const language by_name = language_by_name(base);
  return by_name != language::text || has_known_extension(base) ? by_name : language_by_first_line(head);
}

bool fetched_directory(std::string_view name, const std::function<bool(const char*)>& holds,
                       const std::function<bool(const char*)>& beside) {
  if (name == "node_modules" || name == ".venv") return true;
  if (name == "vendor") return holds("modules.txt");
  if (name == "target") return beside("Cargo.toml");
  return false;
}

}  // namespace morek
