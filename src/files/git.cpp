#include "git.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "locate.hpp"
#include "morek_config.h"

extern char** environ;

namespace morek {

namespace {

// git, found once on the PATH as the directory the run started in sees it:
// the listing runs inside the tree, where a relative entry of the PATH would
// find a program that the tree itself holds.
const std::string& git_program() {
  static const std::string found = [] {
    const char* path = std::getenv("PATH");
    const std::string_view entries = path != nullptr ? path : "/usr/bin:/bin";
    std::string cwd;
    if (char* here = ::getcwd(nullptr, 0)) {
      cwd = here;
      std::free(here);
    }
    for (std::size_t at = 0; at <= entries.size();) {
      std::size_t end = entries.find(':', at);
      if (end == std::string_view::npos) end = entries.size();
      std::string_view dir = entries.substr(at, end - at);
      at = end + 1;
      if (dir.empty()) dir = ".";
      std::string candidate;
      if (dir[0] != '/') {
        if (cwd.empty()) continue;
        candidate = cwd;
        candidate += '/';
      }
      candidate += dir;
      candidate += "/git";
      struct stat st;
      if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
        return candidate;
    }
    return std::string();
  }();
  return found;
}

// The environment git runs in: the user's, less every GIT_ variable (those
// would choose another repository, index or configuration, an external diff,
// a pager, traces on the messages read here), with no fetch of missing
// objects, no prompt, no optional lock (the index is never written back), and
// messages in English, which are read here.
std::vector<std::string> git_environment() {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry = *e;
    if (entry.substr(0, 4) == "GIT_" || entry.substr(0, 7) == "LC_ALL=" || entry.substr(0, 9) == "LANGUAGE=")
      continue;
    env.emplace_back(entry);
  }
  env.emplace_back("GIT_NO_LAZY_FETCH=1");
  env.emplace_back("GIT_TERMINAL_PROMPT=0");
  env.emplace_back("GIT_OPTIONAL_LOCKS=0");
  env.emplace_back("LC_ALL=C");
  return env;
}

}  // namespace

int git_timeout_seconds() {
  const char* v = std::getenv("MOREK_GIT_TIMEOUT");
  if (v == nullptr || *v < '0' || *v > '9') return GIT_SECONDS;
  const long s = std::strtol(v, nullptr, 10);
  return s < 1 ? 1 : s > 86400 ? 86400 : static_cast<int>(s);
}

namespace {
// Reads git's output and its messages until both end, or the deadline passes.
bool read_both(int out_fd, int err_fd, std::string& out, std::string& err, int seconds) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* into[2] = {&out, &err};
  int open_fds = 2;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  char buf[64 * 1024];
  while (open_fds > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    const int ready = ::poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) return false;
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || fds[k].revents == 0) continue;
      const ssize_t n = ::read(fds[k].fd, buf, sizeof buf);
      if (n > 0) {
        into[k]->append(buf, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[k].fd = -1;
        --open_fds;
      }
    }
  }
  return true;
}

// A pipe whose ends no program that this one starts inherits. False, with
// errno set, when there is none.
bool private_pipe(int fds[2]) {
#if MOREK_HAVE_PIPE2
  return ::pipe2(fds, O_CLOEXEC) == 0;
#else
  // Only this thread starts programs: none can start between the two calls.
  if (::pipe(fds) != 0) return false;
  if (::fcntl(fds[0], F_SETFD, FD_CLOEXEC) != 0 || ::fcntl(fds[1], F_SETFD, FD_CLOEXEC) != 0) {
    const int e = errno;
    ::close(fds[0]);
    ::close(fds[1]);
    errno = e;
    return false;
  }
  return true;
#endif
}

#if !MOREK_HAVE_SPAWN_ADDFCHDIR && !MOREK_HAVE_SPAWN_ADDFCHDIR_NP
#ifdef NSIG
constexpr int SIGNALS = NSIG;
#else
constexpr int SIGNALS = 65;
#endif
#endif

// Starts program in the directory open as dir, its standard input on
// /dev/null and its output and messages on out and err: 0, or the errno of
// why it could not start.
int start_in(int dir, const char* program, char* const* argv, char* const* envp, int out, int err, pid_t& pid) {
#if MOREK_HAVE_SPAWN_ADDFCHDIR || MOREK_HAVE_SPAWN_ADDFCHDIR_NP
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_adddup2(&actions, err, 2);
#if MOREK_HAVE_SPAWN_ADDFCHDIR
  posix_spawn_file_actions_addfchdir(&actions, dir);
#else
  posix_spawn_file_actions_addfchdir_np(&actions, dir);
#endif
  const int spawned = ::posix_spawn(&pid, program, &actions, nullptr, argv, envp);
  posix_spawn_file_actions_destroy(&actions);
  return spawned;
#else
  // Without a spawn that changes directory: fork, and in the child only
  // calls that are safe in a copy of a process with threads. Why the child
  // could not run the program comes back through a pipe that exec closes.
  int why[2];
  if (!private_pipe(why)) return errno;
  sigset_t all, saved;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &saved);  // no handler of this process runs in the child
  pid = ::fork();
  if (pid == 0) {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < SIGNALS; ++sig) {
      struct sigaction old {};
      if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler != SIG_IGN && old.sa_handler != SIG_DFL)
        ::sigaction(sig, &dfl, nullptr);
    }
    ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    ::close(why[0]);
    const int null = ::open("/dev/null", O_RDONLY);
    if (null >= 0 && ::dup2(null, 0) == 0 && ::dup2(out, 1) == 1 && ::dup2(err, 2) == 2 && ::fchdir(dir) == 0) {
      if (null != 0) ::close(null);
      ::execve(program, argv, envp);
    }
    const int e = errno;
    [[maybe_unused]] const ssize_t said = ::write(why[1], &e, sizeof e);
    ::_exit(127);
  }
  const int fork_errno = errno;
  ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  ::close(why[1]);
  if (pid < 0) {
    ::close(why[0]);
    return fork_errno;
  }
  int e = 0;
  ssize_t n;
  while ((n = ::read(why[0], &e, sizeof e)) < 0 && errno == EINTR) {
  }
  ::close(why[0]);
  if (n != static_cast<ssize_t>(sizeof e)) return 0;
  while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  return e;
#endif
}
}  // namespace

std::vector<std::string> git_run::said() const {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < err.size();) {
    std::size_t end = err.find('\n', at);
    if (end == std::string::npos) end = err.size();
    if (end > at) lines.emplace_back(err, at, end - at);
    at = end + 1;
  }
  return lines;
}

std::string git_run::why() const {
  switch (how) {
    case end::not_found:
      return "git not found";
    case end::not_started:
      return with_errno("can't run git", error);
    case end::timed_out:
      return "git did not end within " + std::to_string(seconds) + " s; stopped";
    case end::exited:
      break;
  }
  const std::vector<std::string> lines = said();
  return lines.empty() ? std::string("git failed") : "git: " + lines.front();
}

git_run run_git(int dir, std::span<const std::string> args) {
  git_run r;
  const std::string& git = git_program();
  if (git.empty()) {
    r.how = git_run::end::not_found;
    return r;
  }
  int out_pipe[2], err_pipe[2];
  if (!private_pipe(out_pipe)) {
    r.how = git_run::end::not_started;
    r.error = errno;
    return r;
  }
  if (!private_pipe(err_pipe)) {
    r.how = git_run::end::not_started;
    r.error = errno;
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    return r;
  }
  // What a repository's configuration may name to run: a file system
  // monitor, hooks (an index written back), a pager, and the command that a
  // fetch of a missing object runs. None is needed, nor any transport.
  std::vector<const char*> argv = {"git",     "--no-pager", "-c", "core.fsmonitor=false",
                                   "-c",      "core.hooksPath=/dev/null", "-c", "protocol.allow=never"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  std::vector<std::string> env = git_environment();
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = start_in(dir, git.c_str(), const_cast<char* const*>(argv.data()), envp.data(), out_pipe[1],
                               err_pipe[1], pid);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  r.seconds = git_timeout_seconds();
  const bool finished = spawned == 0 && read_both(out_pipe[0], err_pipe[0], r.out, r.err, r.seconds);
  ::close(out_pipe[0]);
  ::close(err_pipe[0]);
  if (spawned != 0) {
    r.how = git_run::end::not_started;
    r.error = spawned;
    return r;
  }
  if (!finished) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!finished) {
    r.how = git_run::end::timed_out;
    return r;
  }
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace morek
