#include "run_tool.hpp"

#include <fcntl.h>
#include <grp.h>
#include <spawn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

const char* tool_path() { return MOREK_BIN; }

std::string crlf(const std::string& text) {
  std::string r;
  for (char c : text) {
    if (c == '\n') r += '\r';
    r += c;
  }
  return r;
}

// Scratch files go under $TMPDIR where it names a folder, as mktemp(1) puts
// them, so that a run can keep them on a memory file system.
static std::string temp_template() {
  const char* dir = std::getenv("TMPDIR");
  std::string t = dir != nullptr && dir[0] == '/' ? dir : "/tmp";
  while (t.size() > 1 && t.back() == '/') t.pop_back();
  return t + "/morek-test-XXXXXX";
}

temp_file::temp_file(const std::string& bytes) {
  std::string name = temp_template();
  const int fd = mkstemp(name.data());
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  path = name;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = write(fd, bytes.data() + done, bytes.size() - done);
    if (w <= 0) throw std::runtime_error("write failed");
    done += static_cast<std::size_t>(w);
  }
  close(fd);
}

temp_file::~temp_file() { unlink(path.c_str()); }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

pid_t start_tool(const std::vector<std::string>& args, const std::string& in_path, const std::string& out_path,
                 const std::string& err_path, const run_options& opt) {
  std::vector<std::string> copies = args;
  std::vector<char*> argv;
  std::string name = tool_path();
  argv.push_back(name.data());
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);

  // Without limits, users or descriptors to set, the tool is spawned: a
  // fork copies the page tables of the tests' own large address space,
  // which under the sanitizers costs more than the tool's run.
  const bool plain = opt.fsize_limit < 0 && opt.nofile_limit < 0 && opt.address_space_limit < 0 && opt.stack_limit < 0 &&
                     opt.closed.empty() && opt.cwd == nullptr && !opt.as_nobody;
  if (plain) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) == 0) {
      const int flags = O_WRONLY | O_CREAT | (opt.stdout_append ? O_APPEND : O_TRUNC);
      const bool ready = posix_spawn_file_actions_addopen(&actions, 0, in_path.c_str(), O_RDONLY, 0) == 0 &&
                         posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), flags, 0600) == 0 &&
                         posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                                          0600) == 0;
      pid_t pid = -1;
      const bool spawned = ready && posix_spawn(&pid, tool_path(), &actions, nullptr, argv.data(), environ) == 0;
      posix_spawn_file_actions_destroy(&actions);
      if (spawned) return pid;
    }
    // Else as below, where a stream that cannot be opened ends the child
    // with 126.
  }
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    // Only calls that are safe after fork, then exec.
    const int in = open(in_path.c_str(), O_RDONLY);
    const int o = open(out_path.c_str(), O_WRONLY | O_CREAT | (opt.stdout_append ? O_APPEND : O_TRUNC), 0600);
    const int e = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || o < 0 || e < 0 || dup2(in, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(126);
    if (opt.fsize_limit >= 0) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit lim{static_cast<rlim_t>(opt.fsize_limit), static_cast<rlim_t>(opt.fsize_limit)};
      if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(126);
    }
    if (opt.nofile_limit >= 0) {
      const rlimit lim{static_cast<rlim_t>(opt.nofile_limit), static_cast<rlim_t>(opt.nofile_limit)};
      if (setrlimit(RLIMIT_NOFILE, &lim) != 0) _exit(126);
    }
    if (opt.address_space_limit >= 0) {
      const rlimit lim{static_cast<rlim_t>(opt.address_space_limit), static_cast<rlim_t>(opt.address_space_limit)};
      if (setrlimit(RLIMIT_AS, &lim) != 0) _exit(126);
    }
    if (opt.stack_limit >= 0) {
      rlimit lim{};
      if (getrlimit(RLIMIT_STACK, &lim) != 0) _exit(126);
      lim.rlim_cur = static_cast<rlim_t>(opt.stack_limit);
      if (setrlimit(RLIMIT_STACK, &lim) != 0) _exit(126);
    }
    for (int fd : opt.closed) close(fd);
    if (opt.cwd != nullptr && chdir(opt.cwd) != 0) _exit(126);
    if (opt.as_nobody && geteuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(126);
    }
    execv(tool_path(), argv.data());
    _exit(127);
  }
  return pid;
}

int wait_tool(pid_t pid) {
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

tool_result run_tool_with(const std::vector<std::string>& args, const run_options& opt) {
  temp_file input(opt.stdin_text);
  temp_file out("");
  temp_file err("");
  tool_result r;
  r.status = wait_tool(start_tool(args, opt.stdin_path != nullptr ? opt.stdin_path : input.path,
                                  opt.stdout_path != nullptr ? opt.stdout_path : out.path, err.path, opt));
  r.out = read_file(out.path);
  r.err = read_file(err.path);
  return r;
}

tool_result run_tool(const std::vector<std::string>& args, const std::string& stdin_text, const char* stdin_path,
                     const char* stdout_path) {
  run_options opt;
  opt.stdin_text = stdin_text;
  opt.stdin_path = stdin_path;
  opt.stdout_path = stdout_path;
  return run_tool_with(args, opt);
}

void expect_run(const exact_case& c) {
  const tool_result r = run_tool(c.args, c.in);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.status, c.status);
}

scratch_dir::scratch_dir() {
  std::string name = temp_template();
  if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir = name;
}

scratch_dir::~scratch_dir() {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(dir, ec);
}

std::string scratch_dir::write(const std::string& name, const std::string& bytes) const {
  const std::string p = path(name);
  std::filesystem::create_directories(std::filesystem::path(p).parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
  return p;
}

bool wait_for(const std::function<bool()>& ready) {
  for (int i = 0; i < 50000; ++i) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return false;
}

bool has_open(pid_t pid, const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    std::error_code ignored;
    if (fs::read_symlink(e.path(), ignored) == path) return true;
  }
  return false;
}
