// morek: re-tabulates text, expanding tabs at tab1 and writing blank runs as
// tabs at tab2.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "convert.hpp"
#include "errmsg.hpp"
#include "files.hpp"
#include "help.hpp"
#include "jobs.hpp"
#include "kinds.hpp"
#include "languages.hpp"
#include "lexer.hpp"
#include "mem.hpp"
#include "proven_filter.hpp"
#include "settings.hpp"
#include "stdin_file.hpp"
#include "stream.hpp"
#include "textio.hpp"

using namespace morek;

namespace {

// The line buffer. Owned by an object that lives to the end of the process,
// whose destructor frees it on every way out through exit.
struct free_block {
  void operator()(unsigned char* p) const { std::free(p); }
};
std::unique_ptr<unsigned char, free_block> in_buf;

// Exit status of a failure: 1, but 2 under -i, --check and --diff, where 1 means that
// a file would change.
int fail_status = 1;

// Reports a failure and ends the run. Lines converted so far are written out
// first.
template <class... Args>
[[noreturn]] void fail(const char* fmt, Args... args) {
  const bool written = out_flush();
  if constexpr (sizeof...(Args) == 0)
    errmsg("%s", fmt);  // a message without arguments is plain text
  else
    errmsg(fmt, args...);
  if (!written) errmsg("stdout: can't write\n");
  std::exit(fail_status);
}

// Decimal conversion as atoi reads it: leading blanks and a sign, digits up
// to the first non-digit, no digits giving 0. False when the value does not
// fit an int.
bool to_int(const char* s, int& value) {
  while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
  const bool negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  long long v = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    v = v * 10 + (*s - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  value = static_cast<int>(v);
  return true;
}

int tab_width(const char* arg, const char* error) {
  int v = 0;
  if (!to_int(arg, v) || v < TAB_MIN || v > TAB_MAX) fail(error);
  return v;
}

// The help table ends the run with status 1, like a usage error.
[[noreturn]] void print_help() {
  for (const char* const* line = help_table; **line != '\0'; ++line) {
    out_write(reinterpret_cast<const unsigned char*>(*line), std::strlen(*line));
    out_newline();
  }
  fail("");  // no message, unless the table could not be written
}

// --help and --version: plain text with LF line ends, status 0.
[[noreturn]] void print_text(const char* text) {
  out_write(reinterpret_cast<const unsigned char*>(text), std::strlen(text));
  if (!out_flush()) fail("stdout: can't write\n");
  std::exit(0);
}

// Holds BUFSIZE + 2 bytes, and the converter's padding past the longest line
// it converts.
unsigned char* line_buffer() {
  constexpr int least = static_cast<int>(LINE_LIMIT + CONVERT_PAD);
  auto* p = static_cast<unsigned char*>(getmem((BUFSIZE > least ? BUFSIZE : least) + 2));
  if (p == nullptr) std::exit(fail_status);  // getmem has said why
  return p;
}

// The input: standard input, or the file, which must be one that can be read
// (a directory cannot, wherever the system would let it be opened).
int open_input(const char* file) {
  if (file == nullptr) return 0;
  const int fd = ::open(file, O_RDONLY);
  struct stat st;
  if (fd < 0 || (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))) fail("%s: can't open\n", file);
  return fd;
}

// An output that is the input's own regular file, with input still to read,
// would have the conversion read what it wrote, without end.
bool input_is_output(int in) {
  struct stat i, o;
  if (::fstat(in, &i) != 0 || ::fstat(1, &o) != 0 || !S_ISREG(i.st_mode) || !S_ISREG(o.st_mode)) return false;
  return i.st_dev == o.st_dev && i.st_ino == o.st_ino && ::lseek(in, 0, SEEK_CUR) < i.st_size;
}

// Opens /dev/null on each of the standard descriptors that is closed, so
// that no file the run opens can become one of them, and a message never
// lands in a user's file.
void fill_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    const int got = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (got != fd) std::_Exit(got < 0 ? 2 : 1);  // nothing to say it on: standard error is closed
  }
}

bool is_letter_group(const char* opt) { return opt[1] != '-' && opt[1] != 'b'; }

// The arguments an option takes up: two for a letter group that ends in j,
// whose number of jobs is the next argument.
int option_args(const char* opt) {
  const char* j = is_letter_group(opt) ? std::strchr(opt, 'j') : nullptr;
  return j != nullptr && j[1] == '\0' ? 2 : 1;
}

// A number of jobs (-j, --jobs): digits alone, from 1 to JOBS_MAX.
unsigned jobs_value(const char* shown, const char* v) {
  unsigned n = 0;
  const char* p = v;
  for (; *p >= '0' && *p <= '9' && n <= JOBS_MAX; ++p) n = n * 10 + static_cast<unsigned>(*p - '0');
  if (p == v || *p != '\0' || n < 1 || n > JOBS_MAX)
    fail("%s: not a number of jobs from 1 to %d\n", shown, static_cast<int>(JOBS_MAX));
  return n;
}

// What the command line asks of a run over files.
struct file_request {
  bool in_place = false;
  bool check = false;
  bool diff = false;
  file_options opt;
  const char* colour = "auto";
  bool sjis = false;  // --sjis: Shift-JIS, the filter's default, asked for
  bool lang_given = false;
  unsigned jobs = 0;  // -j; 0: one a processor
  const char* stdin_name = nullptr;  // --stdin-filename: the file standard input stands for
  bool format_given = false;
  const char* changed = nullptr;  // --changed or --changed-lines, as given
};

// A long option "--name=value": the value, or null when opt is not one.
const char* value_of(std::string_view opt, std::string_view name) {
  if (opt.size() <= name.size() + 1 || opt.substr(0, name.size()) != name || opt[name.size()] != '=') return nullptr;
  return opt.data() + name.size() + 1;
}

// The long options other than --help and --version; false for any other.
bool long_option(const char* opt, file_request& files, bool& eol_given) {
  const std::string_view o(opt);
  if (o == "--utf8") {
    utf8_input = 1;
  } else if (o == "--sjis") {
    files.sjis = true;
  } else if (o == "--latin1") {
    latin1_input = 1;
  } else if (o == "--spaces") {
    spaces_only = 1;
  } else if (o == "--indent-only") {
    indent_only = 1;
  } else if (o == "--eol=crlf" || o == "--eol=lf" || o == "--eol=keep") {
    line_ends = o == "--eol=crlf" ? eol_mode::crlf : o == "--eol=lf" ? eol_mode::lf : eol_mode::keep;
    eol_given = true;
  } else if (o == "--in-place") {
    files.in_place = true;
  } else if (o == "--check") {
    files.check = true;
  } else if (o == "--diff") {
    files.diff = true;
  } else if (const char* name = value_of(o, "--lang")) {
    if (std::strcmp(name, "auto") == 0) {
      files.opt.lang_auto = true;
    } else if (!language_named(name, files.opt.lang)) {
      fail("%s: unknown language (%s or auto)\n", opt, std::string(language_names()).c_str());
    } else {
      files.opt.lang_auto = false;
    }
    files.lang_given = true;
  } else if (o.starts_with("--stdin-filename=")) {
    files.stdin_name = opt + std::strlen("--stdin-filename=");
  } else if (const char* f = value_of(o, "--format")) {
    if (!format_named(f, files.opt.format))
      fail("%s: unknown format (%s)\n", opt, std::string(format_names()).c_str());
    files.format_given = true;
  } else if (const char* n = value_of(o, "--jobs")) {
    files.jobs = jobs_value(opt, n);
  } else if (o.starts_with("--changed")) {
    // --changed[=REF] and --changed-lines[=REF]
    const bool lines = o.starts_with("--changed-lines");
    const std::string_view name = lines ? "--changed-lines" : "--changed";
    const char* ref = value_of(o, name);
    if (o != name && ref == nullptr) return false;
    if (ref != nullptr && *ref == '\0') fail("%s: the revision is missing\n", opt);
    if (files.changed != nullptr && std::string_view(files.changed).starts_with("--changed-lines") != lines)
      fail("%s and %s: use one of them\n", files.changed, opt);
    files.changed = opt;
    files.opt.changed = lines ? only_changed::lines : only_changed::files;
    if (ref != nullptr) files.opt.since = ref;
  } else if (o == "--all-files") {
    files.opt.filters.all_files = true;
  } else if (o == "--editorconfig") {
    files.opt.editorconfig = true;
  } else if (o == "--show-settings") {
    files.opt.show_settings = true;
  } else if (const char* v = value_of(o, "--color")) {
    if (std::strcmp(v, "auto") != 0 && std::strcmp(v, "always") != 0 && std::strcmp(v, "never") != 0) return false;
    files.colour = v;
  } else if (const char* g = value_of(o, "--include")) {
    files.opt.filters.include.emplace_back(g);
  } else if (const char* g = value_of(o, "--exclude")) {
    files.opt.filters.exclude.emplace_back(g);
  } else if (const char* g = value_of(o, "--exclude-dir")) {
    // "build/", as shell completion writes it, names the directory build.
    std::string_view glob = g;
    while (glob.size() > 1 && glob.back() == '/') glob.remove_suffix(1);
    files.opt.filters.exclude_dir.emplace_back(glob);
  } else {
    return false;
  }
  return true;
}

// Whether a diff is coloured: always, never, or on a terminal unless NO_COLOR
// is set to something.
diff_colour colour_of(const char* choice) {
  if (std::strcmp(choice, "always") == 0) return diff_colour::terminal;
  if (std::strcmp(choice, "never") == 0) return diff_colour::plain;
  const char* no_colour = std::getenv("NO_COLOR");
  const bool wanted = ::isatty(1) == 1 && (no_colour == nullptr || *no_colour == '\0');
  return wanted ? diff_colour::terminal : diff_colour::plain;
}

}  // namespace

int main(int argc, char** argv) {
  fill_standard_descriptors();
  // A failure in the memory helpers still writes out the lines converted so
  // far, and ends with the status of a failure.
  endfun = [] {
    (void)out_flush();
    if (fail_status != 1) std::exit(fail_status);
  };
  std::set_new_handler([] {
    errmsg("cannot get memory\n");
    std::exit(fail_status);
  });

  if (argc == 2 && std::strcmp(argv[1], "-usage") == 0) print_help();

  // Option arguments are the leading ones that begin with "-". Among them,
  // --help and --version win over everything, and -i or --check make every
  // failure end with status 2.
  // "--" ends them, so that a file named like an option is a file.
  int options_end = 1;
  while (options_end < argc && argv[options_end][0] == '-' && std::strcmp(argv[options_end], "--") != 0)
    options_end += option_args(argv[options_end]);
  if (options_end > argc) options_end = argc;  // -j without its number
  const bool options_ended = options_end < argc;
  for (int a = 1; a < options_end; ++a) {
    if (std::strcmp(argv[a], "--help") == 0) print_text(help_text);
    if (std::strcmp(argv[a], "--version") == 0) print_text("morek " MOREK_VERSION "\n");
  }
  for (int a = 1; a < options_end; a += option_args(argv[a])) {
    const char* opt = argv[a];
    if (std::strcmp(opt, "--in-place") == 0 || std::strcmp(opt, "--check") == 0 || std::strcmp(opt, "--diff") == 0 ||
        std::strcmp(opt, "--editorconfig") == 0 || std::strcmp(opt, "--show-settings") == 0 ||
        std::strncmp(opt, "--stdin-filename=", 17) == 0 ||
        std::strncmp(opt, "--format=", 9) == 0 ||
        (is_letter_group(opt) && std::strchr(opt, 'i') != nullptr))
      fail_status = 2;
  }

  bool trim_flg = false;
  file_request files;
  bool eol_given = false;
  int arg = 1;
  for (; arg < options_end; arg += option_args(argv[arg])) {
    const char* opt = argv[arg];
    if (opt[1] == '-') {
      if (!long_option(opt, files, eol_given)) fail("%s: invalid option\n", opt);
      continue;
    }
    if (opt[1] == 'b') {
      int size = 0;
      if (!to_int(opt + 2, size) || size > INT_MAX - 2) fail("%s: buffer size out of range\n", opt);
      BUFSIZE = size < 256 ? 256 : size;
      continue;
    }
    for (const char* letter = opt + 1; *letter != '\0'; ++letter) {
      if (*letter == 'c')
        ign_str = 1;
      else if (*letter == 't')
        trim_flg = true;
      else if (*letter == 'i')
        files.in_place = true;
      else if (*letter == 'j') {
        // The number is the rest of the group, or the next argument.
        const bool apart = letter[1] == '\0';
        if (apart && arg + 1 >= options_end) fail("%s: the number of jobs is missing\n", opt);
        const std::string shown = apart ? std::string(opt) + " " + argv[arg + 1] : std::string(opt);
        files.jobs = jobs_value(shown.c_str(), apart ? argv[arg + 1] : letter + 1);
        break;
      } else
        fail("%s: invalid option\n", opt);
    }
  }
  if (options_ended && std::strcmp(argv[arg], "--") == 0) ++arg;
  if (files.in_place && files.check) fail("-i and --check: use one of them\n");
  if (files.diff && (files.in_place || files.check)) fail("--diff and -i or --check: use one of them\n");
  if (utf8_input == 1 && latin1_input == 1) fail("--utf8 and --latin1: use one of them\n");
  if (files.sjis && (utf8_input == 1 || latin1_input == 1))
    fail(utf8_input == 1 ? "--sjis and --utf8: use one of them\n" : "--sjis and --latin1: use one of them\n");
  if (files.opt.show_settings && !files.opt.editorconfig) fail("--show-settings: only with --editorconfig\n");
  const bool from_stdin = files.stdin_name != nullptr;
  if (from_stdin) {
    if (*files.stdin_name == '\0') fail("--stdin-filename=: the name of the file is missing\n");
    if (files.in_place) fail("--stdin-filename: writes to standard output; not with -i\n");
    if (files.opt.show_settings) fail("--stdin-filename: not with --show-settings\n");
  }
  if (files.opt.editorconfig &&
      !(files.in_place || files.check || files.diff || files.opt.show_settings || from_stdin))
    fail("--editorconfig: only with -i, --check, --diff or --show-settings\n");
  if (files.format_given && !files.check) fail("--format: only with --check\n");
  if (files.format_given && files.opt.show_settings) fail("--format: not with --show-settings\n");
  // A buffer's --check only sets the status, for an editor's save hook.
  if (files.format_given && from_stdin) fail("--format: not with --stdin-filename\n");
  if (files.opt.show_settings && (files.in_place || files.diff))
    fail("--show-settings: converts nothing; not with -i or --diff\n");
  const bool on_files = files.in_place || files.check || files.diff || files.opt.show_settings || from_stdin;
  if (files.changed != nullptr && (!on_files || from_stdin)) fail("%s: only with -i, --check or --diff\n", files.changed);
  // The filter reads text unless --lang names a language.
  static literal_lexer filter_lexer;
  if (!on_files && files.lang_given && !files.opt.lang_auto && files.opt.lang != language::text) {
    filter_lexer.start(files.opt.lang, input_charset() == charset::sjis);
    literals = &filter_lexer;
  }
  // --spaces writes no tab, so it takes no tab2, and each file's
  // .editorconfig gives its widths. With -i, --check and --diff, the files
  // follow the widths, and one at least.
  const int widths = files.opt.editorconfig ? 0 : spaces_only == 1 ? 1 : 2;
  if (argc - arg < (on_files && !from_stdin ? widths + 1 : widths)) fail("%s\n", help_table[USAGE_LINE]);
  if (from_stdin && argc - arg > widths) fail("--stdin-filename: reads standard input; no file operand\n");
  const bool utf8_given = utf8_input == 1;
  if (on_files && !eol_given) line_ends = eol_mode::keep;
  // Files are UTF-8 unless the command line says otherwise: a blank after a
  // byte from 0x80 up is then never taken into a Shift-JIS pair.
  if (on_files && !files.sjis && latin1_input == 0) utf8_input = 1;

  // The converter writes straight to the output: the line is the only buffer.
  in_buf.reset(line_buffer());

  if (widths > 0) {
    tab1 = tab_width(argv[arg], "tab1 length error\n");
    tab2 = spaces_only == 1 ? tab1 : tab_width(argv[arg + 1], "tab2 length error\n");
  }
  const text_reader::options layer{.bytewise = line_ends != eol_mode::text,
                                   .track_crs = line_ends == eol_mode::keep,
                                   .cr_runs = line_ends == eol_mode::lf || line_ends == eol_mode::crlf};
  static text_reader reader(0, layer);  // static: its block is too large for the stack

  if (on_files) {
    // --stdin-filename: in_place writes the conversion to standard output.
    files.opt.mode = files.check || files.opt.show_settings ? file_mode::check
                     : files.diff                           ? file_mode::diff
                                                            : file_mode::in_place;
    files.opt.cli = {.c = ign_str == 1,
                     .t = trim_flg,
                     .utf8 = utf8_input == 1 && utf8_given,
                     .latin1 = latin1_input == 1,
                     .sjis = files.sjis,
                     .spaces = spaces_only == 1,
                     .indent_only = indent_only == 1,
                     .eol_given = eol_given,
                     .eol = line_ends};
    files.opt.trim = trim_flg;
    if (char* here = ::getcwd(nullptr, 0)) {
      files.opt.cwd = here;
      std::free(here);
    }
    files.opt.colour = colour_of(files.colour);
    files.opt.jobs = files.jobs != 0 ? files.jobs : default_jobs();
    if (from_stdin) return run_stdin_file(files.stdin_name, files.opt);
    return run_files(std::span<char* const>(argv + arg + widths, argv + argc), files.opt);
  }

  const char* file = argc - arg > widths ? argv[arg + widths] : nullptr;
  const int in = open_input(file);
  if (input_is_output(in)) fail("%s: input file is output file\n", file != nullptr ? file : "stdin");
  reader.reset(in, layer);
  // In a language, what is written is proven first.
  int read_errno = 0;
  const stream_result r = literals != nullptr ? convert_proven(in, file != nullptr ? file : "stdin", reader, layer,
                                                               in_buf.get(), trim_flg, files.opt.lang, read_errno)
                                              : convert_stream(reader, in_buf.get(), trim_flg);
  if (r.too_long != 0) fail("%s \nError: too long line found!\n", reinterpret_cast<char*>(in_buf.get()));
  if (read_errno == ENOMEM) fail("cannot get memory\n");
  if (reader.failed() || read_errno != 0) fail("%s: can't read\n", file != nullptr ? file : "stdin");
  if (!out_flush()) fail("stdout: can't write\n");
  return 0;
}
