#include "languages.hpp"

#include <array>
#include <initializer_list>

namespace morek {

namespace {

constexpr quote_form closed_by_line{.opens = true, .spans_lines = false, .escape = '\\'};
constexpr quote_form spanning{.opens = true, .spans_lines = true, .escape = '\\'};
constexpr quote_form raw_spanning{.opens = true, .spans_lines = true, .escape = 0};
constexpr quote_form with(quote_form f, interpolation i) {
  f.holds = i;
  return f;
}

constexpr quote_form doubled_quote{.opens = true, .spans_lines = true, .escape = 0};

constexpr std::array<lexical_forms, 19> table{{
    {.lang = language::text, .name = "text"},
    {.lang = language::c,
     .name = "c",
     .line_comment = "//",
     .cr_ends_lines = true,
     .block_comments = true,
     .continued_comments = true,
     .splice_blanks = true,
     .trigraphs = true,
     .dq = closed_by_line,
     .sq = closed_by_line,
     .cpp_raw = true,
     .digit_separators = true},
    {.lang = language::java,
     .name = "java",
     .line_comment = "//",
     .cr_ends_lines = true,
     .block_comments = true,
     .dq = closed_by_line,
     .sq = closed_by_line,
     .triple_dq = true,
     .triple = spanning,
     .unicode_escapes = true},
    {.lang = language::kotlin,
     .name = "kotlin",
     .line_comment = "//",
     .cr_ends_lines = true,
     .block_comments = true,
     .nested_comments = true,
     .dq = with(closed_by_line, interpolation::dollar_brace),
     .sq = closed_by_line,
     .triple_dq = true,
     .triple_sq = true,  // Groovy
     .triple = with(raw_spanning, interpolation::dollar_brace),
     .triple_greedy = true},
    {.lang = language::csharp,
     .name = "csharp",
     .line_comment = "//",
     .cr_ends_lines = true,
     .block_comments = true,
     .dq = closed_by_line,
     .sq = closed_by_line,
     .triple_dq = true,
     .triple = raw_spanning,
     .triple_greedy = true,
     .csharp_forms = true},
    {.lang = language::swift,
     .name = "swift",
     .line_comment = "//",
     .cr_ends_lines = true,
     .block_comments = true,
     .nested_comments = true,
     .dq = with(closed_by_line, interpolation::swift),
     .triple_dq = true,
     .triple = with(spanning, interpolation::swift),
     .swift_raw = true},
    {.lang = language::dart,
     .name = "dart",
     .line_comment = "//",
     .cr_ends_lines = true,
     .block_comments = true,
     .nested_comments = true,
     .dq = with(closed_by_line, interpolation::dollar_brace),
     .sq = with(closed_by_line, interpolation::dollar_brace),
     .triple_dq = true,
     .triple_sq = true,
     .triple = with(spanning, interpolation::dollar_brace),
     .dart_raw = true},
    {.lang = language::js,
     .name = "js",
     .line_comment = "//",
     .cr_ends_lines = true,
     .block_comments = true,
     .dq = closed_by_line,
     .sq = closed_by_line,
     .bq = with(spanning, interpolation::dollar_brace),
     .jsx = true,
     .regex = regex_form::js},
    {.lang = language::go,
     .name = "go",
     .line_comment = "//",
     .block_comments = true,
     .dq = closed_by_line,
     .sq = closed_by_line,
     .bq = raw_spanning},
    {.lang = language::rust,
     .name = "rust",
     .line_comment = "//",
     .block_comments = true,
     .nested_comments = true,
     .dq = spanning,
     .rust_forms = true},
    {.lang = language::php,
     .name = "php",
     .line_comment = "//",
     .cr_ends_lines = true,
     .hash_comments = true,
     .block_comments = true,
     .dq = with(spanning, interpolation::php),
     .sq = spanning,
     .bq = with(spanning, interpolation::php),
     .php_tags = true,
     .heredoc = heredoc_form::php},
    {.lang = language::python,
     .name = "python",
     .hash_comments = true,
     .dq = closed_by_line,
     .sq = closed_by_line,
     .triple_dq = true,
     .triple_sq = true,
     .triple = spanning,
     .python_prefixes = true},
    {.lang = language::shell,
     .name = "shell",
     .hash_comments = true,
     .hash_at_word_only = true,
     .dq = with(spanning, interpolation::shell),
     .sq = raw_spanning,
     .shell_forms = true,
     .heredoc = heredoc_form::shell},
    {.lang = language::ruby,
     .name = "ruby",
     .hash_comments = true,
     .pod_open = "=begin",
     .pod_close = "=end",
     .data_end = true,
     .dq = with(spanning, interpolation::hash_brace),
     .sq = spanning,
     .bq = with(spanning, interpolation::hash_brace),
     .ruby_percent = true,
     .regex = regex_form::ruby,
     .heredoc = heredoc_form::ruby},
    {.lang = language::perl,
     .name = "perl",
     .hash_comments = true,
     .pod_open = "=",
     .pod_close = "=cut",
     .data_end = true,
     .dq = with(spanning, interpolation::perl_block),
     .sq = spanning,
     .bq = with(spanning, interpolation::perl_block),
     .perl_forms = true,
     .regex = regex_form::perl,
     .heredoc = heredoc_form::perl},
    {.lang = language::yaml,
     .name = "yaml",
     .hash_comments = true,
     .hash_at_word_only = true,
     .dq = spanning,
     .sq = doubled_quote,
     .yaml_forms = true},
    {.lang = language::ts,
     .name = "ts",
     .line_comment = "//",
     .cr_ends_lines = true,
     .block_comments = true,
     .dq = closed_by_line,
     .sq = closed_by_line,
     .bq = with(spanning, interpolation::dollar_brace),
     .regex = regex_form::js},
    // JSON5 quotes with ' too, and a backslash continues its strings.
    {.lang = language::json,
     .name = "json",
     .line_comment = "//",
     .block_comments = true,
     .dq = closed_by_line,
     .sq = closed_by_line},
    // '...' and '''...''' hold no escapes; a multi-line string's close may
    // follow one or two quotes of its own (a).
    {.lang = language::toml,
     .name = "toml",
     .hash_comments = true,
     .dq = closed_by_line,
     .sq = {.opens = true, .spans_lines = false, .escape = 0},
     .triple_dq = true,
     .triple_sq = true,
     .triple = spanning,
     .triple_greedy = true},
}};

struct by_extension {
  std::string_view ext;
  language lang;
};

constexpr by_extension extensions[] = {
    {"c", language::c},         {"h", language::c},          {"cc", language::c},        {"cpp", language::c},
    {"cxx", language::c},       {"hh", language::c},         {"hpp", language::c},       {"hxx", language::c},
    {"ipp", language::c},       {"inl", language::c},        {"m", language::c},         {"mm", language::c},
    {"java", language::java},   {"kt", language::kotlin},    {"kts", language::kotlin},  {"scala", language::kotlin},
    {"sc", language::kotlin},   {"groovy", language::kotlin}, {"gradle", language::kotlin}, {"swift", language::swift},
    {"dart", language::dart},   {"cs", language::csharp},    {"js", language::js},       {"mjs", language::js},
    {"cjs", language::js},      {"jsx", language::js},       {"ts", language::ts},       {"tsx", language::js},
    {"mts", language::ts},      {"cts", language::ts},       {"go", language::go},       {"rs", language::rust},
    {"php", language::php},     {"py", language::python},    {"pyi", language::python},  {"pyw", language::python},
    {"sh", language::shell},    {"bash", language::shell},   {"zsh", language::shell},   {"ksh", language::shell},
    {"bats", language::shell},  {"rb", language::ruby},      {"rake", language::ruby},   {"gemspec", language::ruby},
    {"pl", language::perl},     {"pm", language::perl},      {"t", language::perl},       {"PL", language::perl},
    {"yml", language::yaml},
    {"yaml", language::yaml},  {"json", language::json},   {"jsonc", language::json},  {"json5", language::json},
    {"toml", language::toml},
};

}  // namespace

const lexical_forms& forms_of(language l) { return table[static_cast<std::size_t>(l)]; }

language language_by_name(std::string_view base) {
  if (base == "Rakefile" || base == "Gemfile" || base == "Guardfile" || base == "Vagrantfile") return language::ruby;
  const std::size_t dot = base.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return language::text;
  const std::string_view ext = base.substr(dot + 1);
  for (const by_extension& e : extensions)
    if (ext == e.ext) return e.lang;
  return language::text;
}

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string_view base_of(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The first line of a head, without its line end and without a UTF-8 byte
// order mark before it.
std::string_view first_line_of(std::string_view head) {
  head = head.substr(0, head.find('\n'));
  if (!head.empty() && head.back() == '\r') head.remove_suffix(1);
  if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
  return head;
}

// The word of s at at on, blanks before it skipped.
std::string_view next_word(std::string_view s, std::size_t& at) {
  while (at < s.size() && blank(s[at])) ++at;
  const std::size_t from = at;
  while (at < s.size() && !blank(s[at])) ++at;
  return s.substr(from, at - from);
}

// What env runs, from the words after it: its options (-S and the rest,
// -u NAME, -C DIR and -P PATH with their arguments) and NAME=VALUE
// settings come first. -S splits the rest into words, as a "#!" line that
// passes them to env in one needs; what follows it in its own word is the
// first of them.
std::string_view after_env(std::string_view line, std::size_t& at) {
  for (std::string_view w = next_word(line, at); !w.empty(); w = next_word(line, at)) {
    if (w == "--") return next_word(line, at);
    if (w.substr(0, 2) == "--") {
      if (w == "--unset" || w == "--chdir") (void)next_word(line, at);
      continue;
    }
    if (w[0] == '-') {
      for (std::size_t k = 1; k < w.size(); ++k) {
        if (w[k] == 'u' || w[k] == 'C' || w[k] == 'P') {
          if (k + 1 == w.size()) (void)next_word(line, at);
          break;
        }
        if (w[k] == 'S' && k + 1 < w.size()) return w.substr(k + 1);
      }
      continue;
    }
    if (w.find('=') != std::string_view::npos) continue;
    return w;
  }
  return {};
}

}  // namespace

std::string_view interpreter_of(std::string_view line) {
  line = first_line_of(line);
  if (line.substr(0, 2) != "#!") return {};
  std::size_t at = 2;
  const std::string_view program = base_of(next_word(line, at));
  return program == "env" ? base_of(after_env(line, at)) : program;
}

language language_by_first_line(std::string_view line) {
  const std::string_view program = interpreter_of(line);
  if (program.empty()) return language::text;
  for (const std::string_view sh : {"sh", "bash", "zsh", "ksh", "dash"})
    if (program == sh) return language::shell;
  if (program.substr(0, 6) == "python" || program.substr(0, 4) == "pypy") return language::python;
  if (program == "uv") {
    // "uv run" runs the file as a Python script (--script or not).
    std::size_t at = static_cast<std::size_t>(program.data() + program.size() - line.data());
    if (next_word(line, at) == "run") return language::python;
  }
  if (program.substr(0, 4) == "ruby") return language::ruby;
  if (program.substr(0, 4) == "perl") return language::perl;
  if (program == "node" || program == "nodejs") return language::js;
  if (program.substr(0, 3) == "php") return language::php;
  return language::text;
}

bool language_named(std::string_view name, language& l) {
  for (const lexical_forms& f : table) {
    if (f.name == name) {
      l = f.lang;
      return true;
    }
  }
  return false;
}

std::string_view language_names() {
  return "c, java, kotlin, csharp, swift, dart, js, ts, go, rust, php, python, shell, ruby, perl, yaml, json, toml, text";
}

}  // namespace morek
