#include "run_tool.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

const char* tool_path() { return MOREK_BIN; }

std::string crlf(const std::string& text) {
  std::string r;
  for (char c : text) {
    if (c == '\n') r += '\r';
    r += c;
  }
  return r;
}

temp_file::temp_file(const std::string& bytes) {
  char name[] = "/tmp/morek-test-XXXXXX";
  const int fd = mkstemp(name);
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

tool_result run_tool(const std::vector<std::string>& args, const std::string& stdin_text, const char* stdin_path,
                     const char* stdout_path) {
  temp_file input(stdin_text);
  temp_file out("");
  temp_file err("");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, stdin_path ? stdin_path : input.path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, stdout_path ? stdout_path : out.path.c_str(), O_WRONLY | O_TRUNC, 0);
  posix_spawn_file_actions_addopen(&actions, 2, err.path.c_str(), O_WRONLY | O_TRUNC, 0);

  std::vector<char*> argv;
  std::string name = tool_path();
  argv.push_back(name.data());
  std::vector<std::string> copies = args;
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  if (posix_spawn(&pid, tool_path(), &actions, nullptr, argv.data(), environ) != 0)
    throw std::runtime_error("spawn failed");
  posix_spawn_file_actions_destroy(&actions);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);

  tool_result r;
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  r.out = read_file(out.path);
  r.err = read_file(err.path);
  return r;
}

void expect_run(const exact_case& c) {
  const tool_result r = run_tool(c.args, c.in);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.status, c.status);
}

tool_result run_tool_with(const std::vector<std::string>& args, const run_options& opt) {
  temp_file input(opt.stdin_text);
  temp_file out("");
  temp_file err("");
  std::vector<std::string> copies = args;
  std::vector<char*> argv;
  std::string name = tool_path();
  argv.push_back(name.data());
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    // Only calls that are safe after fork, then exec.
    const int in = open(input.path.c_str(), O_RDONLY);
    const int o = open(out.path.c_str(), O_WRONLY | O_TRUNC);
    const int e = open(err.path.c_str(), O_WRONLY | O_TRUNC);
    if (in < 0 || o < 0 || e < 0 || dup2(in, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(126);
    if (opt.fsize_limit >= 0) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit lim{static_cast<rlim_t>(opt.fsize_limit), static_cast<rlim_t>(opt.fsize_limit)};
      if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(126);
    }
    if (opt.as_nobody && geteuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(126);
    }
    execv(tool_path(), argv.data());
    _exit(127);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  tool_result r;
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  r.out = read_file(out.path);
  r.err = read_file(err.path);
  return r;
}
