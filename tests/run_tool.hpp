// Runs the built morek binary with given arguments and standard input, and
// collects what it wrote and how it ended.
#pragma once

#include <sys/types.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

struct tool_result {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or 128 + signal number
};

// stdin_text goes to the tool's standard input through a file; with
// stdin_path set, that path is opened instead. stdout_path redirects the
// tool's standard output (for /dev/full).
tool_result run_tool(const std::vector<std::string>& args, const std::string& stdin_text,
                     const char* stdin_path = nullptr, const char* stdout_path = nullptr);

// Path of the built binary.
const char* tool_path();

// The text with every "\n" written as "\r\n", as the tool writes newlines.
std::string crlf(const std::string& text);

// A file with the given bytes that is removed when it goes out of scope.
struct temp_file {
  explicit temp_file(const std::string& bytes);
  ~temp_file();
  temp_file(const temp_file&) = delete;
  temp_file& operator=(const temp_file&) = delete;
  std::string path;
};

std::string read_file(const std::string& path);

// One run of the tool on standard input and what it must write, byte for byte.
struct exact_case {
  const char* name;
  std::vector<std::string> args;
  std::string in;
  std::string out;
  std::string err;
  int status;
};
inline void PrintTo(const exact_case& c, std::ostream* os) { *os << c.name; }

// Runs c and checks standard output, standard error and the status.
void expect_run(const exact_case& c);

// How the tool is started.
struct run_options {
  std::string stdin_text;
  const char* stdin_path = nullptr;   // opened instead of stdin_text
  const char* stdout_path = nullptr;  // the tool's standard output, instead of a file that is read back
  long fsize_limit = -1;              // RLIMIT_FSIZE in bytes, with SIGXFSZ ignored; -1: none
  long nofile_limit = -1;             // RLIMIT_NOFILE; -1: as it is
  bool as_nobody = false;             // as user and group 65534, when the tests run as root
  bool stdout_append = false;         // stdout_path opened for appending, not truncated
  long address_space_limit = -1;      // RLIMIT_AS in bytes; -1: none
  long stack_limit = -1;              // RLIMIT_STACK in bytes; -1: as it is
  std::vector<int> closed;            // standard descriptors the tool starts without
  const char* cwd = nullptr;          // the directory it runs in; null: the tests' own
};

// run_tool, with what opt asks for.
tool_result run_tool_with(const std::vector<std::string>& args, const run_options& opt);

// Starts the tool with its standard streams on the three paths (output and
// error created as needed) and returns at once; wait_tool waits for it and
// returns its exit status, or 128 + the signal that ended it.
pid_t start_tool(const std::vector<std::string>& args, const std::string& in_path, const std::string& out_path,
                 const std::string& err_path, const run_options& opt = {});
int wait_tool(pid_t pid);

// A scratch directory under $TMPDIR (else /tmp), removed with everything in it, whatever its
// modes became.
struct scratch_dir {
  std::string dir;
  scratch_dir();
  ~scratch_dir();
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;
  std::string path(const std::string& name) const { return dir + "/" + name; }
  // Writes bytes to the file name, making the directories above it; returns its path.
  std::string write(const std::string& name, const std::string& bytes) const;
};

// Waits, up to five seconds, until ready() holds; false if it never did.
bool wait_for(const std::function<bool()>& ready);

// Whether the process pid has a descriptor open on path.
bool has_open(pid_t pid, const std::string& path);
