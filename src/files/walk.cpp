#include "walk.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>

#include "locate.hpp"
#include "morek_config.h"

extern char** environ;

namespace morek {

namespace {

bool any_matches(const std::vector<std::string>& globs, const std::string& s) {
  for (const std::string& g : globs)
    if (::fnmatch(g.c_str(), s.c_str(), 0) == 0) return true;
  return false;
}

std::string_view base_of(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool is_vcs_directory(std::string_view name) { return name == ".git" || name == ".hg" || name == ".svn"; }

bool exists_at(int dir, const std::string& path) {
  struct stat st;
  return ::fstatat(dir, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Whether the directory at path below the one open as dir holds dependencies
// that a tool fetched.
bool fetched(int dir, std::string_view path) {
  const std::string_view name = base_of(path);
  const std::string parent(path.substr(0, path.size() - name.size()));
  const std::string self(path);
  return fetched_directory(
      name, [&](const char* file) { return exists_at(dir, self + "/" + file); },
      [&](const char* file) { return exists_at(dir, parent.empty() ? std::string(file) : parent + file); });
}

// Whether a file at path (below the operand open as dir) goes on the list:
// its directories, its name and its kind all let it. Directories already
// judged are in dirs_taken.
bool takes(int dir, const walk_filters& f, std::string_view path, written w, std::map<std::string, bool>& dirs_taken) {
  for (std::size_t slash = path.find('/'); slash != std::string_view::npos; slash = path.find('/', slash + 1)) {
    const std::string d(path.substr(0, slash));
    auto it = dirs_taken.find(d);
    if (it == dirs_taken.end())
      it = dirs_taken.emplace(d, filters_take_dir(f, d) && (f.all_files || !fetched(dir, d))).first;
    if (!it->second) return false;
  }
  const file_kind k = kind_by_name(base_of(path));
  return filters_take_file(f, path) && !kept_out(k, w) && (f.all_files || k != file_kind::generated);
}

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

// Variables through which an environment would make git list another
// repository than the operand's, or with another index or configuration.
constexpr std::string_view git_repository_variables[] = {
    "GIT_DIR",           "GIT_WORK_TREE",         "GIT_INDEX_FILE",    "GIT_COMMON_DIR",
    "GIT_OBJECT_DIRECTORY", "GIT_ALTERNATE_OBJECT_DIRECTORIES", "GIT_IMPLICIT_WORK_TREE", "GIT_GRAFT_FILE",
    "GIT_NO_REPLACE_OBJECTS", "GIT_REPLACE_REF_BASE", "GIT_PREFIX",     "GIT_SHALLOW_FILE",
    "GIT_NAMESPACE",     "GIT_CONFIG",            "GIT_CONFIG_PARAMETERS", "GIT_CONFIG_COUNT",
    "GIT_CEILING_DIRECTORIES", "GIT_DISCOVERY_ACROSS_FILESYSTEM", "GIT_QUARANTINE_PATH"};

bool repository_variable(std::string_view entry) {
  const std::string_view name = entry.substr(0, entry.find('='));
  if (name.substr(0, 11) == "GIT_CONFIG_") return true;  // GIT_CONFIG_KEY_n and GIT_CONFIG_VALUE_n
  return std::find(std::begin(git_repository_variables), std::end(git_repository_variables), name) !=
         std::end(git_repository_variables);
}

// The environment git runs in: the user's, less the repository variables,
// with no fetch of missing objects, no prompt, and messages in English, which
// are read here.
std::vector<std::string> git_environment() {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry = *e;
    if (repository_variable(entry) || entry.substr(0, 7) == "LC_ALL=" || entry.substr(0, 9) == "LANGUAGE=")
      continue;
    env.emplace_back(entry);
  }
  env.emplace_back("GIT_NO_LAZY_FETCH=1");
  env.emplace_back("GIT_TERMINAL_PROMPT=0");
  env.emplace_back("LC_ALL=C");
  return env;
}

int git_timeout_seconds() {
  const char* v = std::getenv("MOREK_GIT_TIMEOUT");
  if (v == nullptr || *v < '0' || *v > '9') return GIT_LIST_SECONDS;
  const long s = std::strtol(v, nullptr, 10);
  return s < 1 ? 1 : s > 86400 ? 86400 : static_cast<int>(s);
}

// Whether a path that git lists stays below the directory: relative, and
// with no empty, "." or ".." component.
bool stays_below(std::string_view path) {
  if (path.empty() || path[0] == '/') return false;
  for (std::size_t at = 0; at <= path.size();) {
    std::size_t end = path.find('/', at);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(at, end - at);
    if (part.empty() || part == "." || part == "..") return false;
    at = end + 1;
  }
  return true;
}

enum class git_answer {
  listed,            // paths holds the listing; l.errors what git could not read
  not_a_work_tree,   // nothing for git to list: the plain walk's job
  unavailable,       // git could not list it: l.note says why
  failed,            // l.errors says why; no walk either
};

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

// What git lists under the directory dir.
git_answer git_listing(int dir, std::vector<std::string>& paths, listing& l) {
  const std::string& git = git_program();
  if (git.empty()) {
    l.note = "git not found";
    return git_answer::unavailable;
  }
  int out_pipe[2], err_pipe[2];
  if (!private_pipe(out_pipe)) {
    l.note = with_errno("can't run git", errno);
    return git_answer::unavailable;
  }
  if (!private_pipe(err_pipe)) {
    l.note = with_errno("can't run git", errno);
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    return git_answer::unavailable;
  }
  // A repository's configuration may name programs: a file system monitor,
  // or the command that a fetch of a missing object runs. The listing needs
  // neither, and no transport at all.
  std::array<const char*, 14> argv = {"git",      "-c",       "core.fsmonitor=false", "-c",
                                      "protocol.allow=never", "ls-files", "-z", "--cached",
                                      "--others", "--exclude-standard", nullptr};
  std::vector<std::string> env = git_environment();
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = start_in(dir, git.c_str(), const_cast<char* const*>(argv.data()), envp.data(), out_pipe[1],
                               err_pipe[1], pid);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  std::string out, err;
  const int seconds = git_timeout_seconds();
  const bool finished = spawned == 0 && read_both(out_pipe[0], err_pipe[0], out, err, seconds);
  ::close(out_pipe[0]);
  ::close(err_pipe[0]);
  if (spawned != 0) {
    l.note = with_errno("can't run git", spawned);
    return git_answer::unavailable;
  }
  if (!finished) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!finished) {
    l.errors.push_back("git did not list it within " + std::to_string(seconds) +
                       " s (is a file it reads a FIFO?); stopped");
    return git_answer::failed;
  }
  // git's messages, a line each.
  std::vector<std::string> said;
  for (std::size_t at = 0; at < err.size();) {
    std::size_t end = err.find('\n', at);
    if (end == std::string::npos) end = err.size();
    if (end > at) said.emplace_back(err, at, end - at);
    at = end + 1;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    for (const std::string& line : said)
      if (line.find("not a git repository") != std::string::npos) return git_answer::not_a_work_tree;
    l.note = said.empty() ? std::string("git failed") : "git: " + said.front();
    return git_answer::unavailable;
  }
  // What git could not read is missing from the listing.
  for (const std::string& line : said) l.errors.push_back("can't read all of it: git: " + line);
  for (std::size_t at = 0; at < out.size();) {
    std::size_t end = out.find('\0', at);
    if (end == std::string::npos) end = out.size();
    const std::string_view path(out.data() + at, end - at);
    at = end + 1;
    // A directory (a repository within, untracked) is not entered.
    if (!path.empty() && path.back() == '/') continue;
    if (!stays_below(path)) {
      l.errors.push_back("git lists a path outside it; refused: " + std::string(path));
      continue;
    }
    paths.emplace_back(path);
  }
  return git_answer::listed;
}

// A directory on the way down: open or not, what it holds that is still to
// be walked, and who it is, to know it again when it is reopened from below.
struct open_dir {
  int fd = -1;
  dev_t dev = 0;
  ino_t ino = 0;
  std::size_t path_len = 0;            // its path below the operand, '/' included, in the walk's path
  std::vector<std::string> subdirs;    // still to walk, last first
};

// Reads the directory open as fd: files go to paths, subdirectories to d.
// False when it cannot be read to its end.
bool read_directory(int fd, const std::string& prefix, const walk_filters& f, std::vector<std::string>& paths,
                    open_dir& d) {
  const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  DIR* dir = own < 0 ? nullptr : ::fdopendir(own);
  if (dir == nullptr) {
    if (own >= 0) ::close(own);
    return false;
  }
  errno = 0;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    unsigned char type = e->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st;
      if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    const std::string path = prefix + std::string(name);
    if (type == DT_DIR) {
      if (!is_vcs_directory(name) && filters_take_dir(f, path) && (f.all_files || !fetched(fd, name)))
        d.subdirs.emplace_back(name);
    } else if (type == DT_REG) {
      paths.push_back(path);
    }
    errno = 0;
  }
  const bool ok = errno == 0;
  ::closedir(dir);
  std::reverse(d.subdirs.begin(), d.subdirs.end());
  return ok;
}

std::string shown(const std::string& path, std::size_t len) {
  return len <= 1 ? std::string(".") : path.substr(0, len - 1);
}

// Walks the directory open as dir, which it takes over, depth first, without recursion: at most
// WALK_OPEN_DIRS directories stay open, and one whose descriptor was given up
// is reopened from its child by "..", and must be the same directory. Each
// directory that cannot be read is named in l.errors.
void walk(int dir, const walk_filters& f, std::vector<std::string>& paths, listing& l) {
  std::vector<open_dir> stack;
  std::string path;  // of the directory on top, below the operand, ending in '/' unless empty
  std::size_t open_count = 1;
  {
    open_dir& top = stack.emplace_back();
    top.fd = dir;
    struct stat st;
    if (::fstat(dir, &st) == 0) {
      top.dev = st.st_dev;
      top.ino = st.st_ino;
    }
    if (!read_directory(dir, path, f, paths, top)) l.errors.push_back("can't read all of it: .: " + std::string(std::strerror(errno)));
  }
  while (!stack.empty()) {
    open_dir& top = stack.back();
    if (top.subdirs.empty()) {
      // Done with it: its parent must be open again to go on.
      const int fd = top.fd;
      stack.pop_back();
      if (!stack.empty() && stack.back().fd < 0) {
        open_dir& parent = stack.back();
        const int up = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat st;
        if (up >= 0 && ::fstat(up, &st) == 0 && st.st_dev == parent.dev && st.st_ino == parent.ino) {
          parent.fd = up;
          ++open_count;
        } else {
          if (up >= 0) ::close(up);
          l.errors.push_back("can't read all of it: " + shown(path, parent.path_len) + ": moved during the walk");
          // The directories above it, still to walk, are given up with it.
          while (!stack.empty() && stack.back().fd < 0) stack.pop_back();
        }
      }
      if (fd >= 0) {
        ::close(fd);
        --open_count;
      }
      path.resize(stack.empty() ? 0 : stack.back().path_len);
      continue;
    }
    const std::string name = std::move(top.subdirs.back());
    top.subdirs.pop_back();
    // Never through a link, even one swapped in since the entry was read.
    const int sub = ::openat(top.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0) {
      if (errno != ENOENT && errno != ELOOP && errno != ENOTDIR)
        l.errors.push_back("can't read all of it: " + path + name + ": " + std::strerror(errno));
      continue;
    }
    path += name;
    path += '/';
    open_dir next;
    next.fd = sub;
    next.path_len = path.size();
    struct stat st;
    if (::fstat(sub, &st) == 0) {
      next.dev = st.st_dev;
      next.ino = st.st_ino;
    }
    if (!read_directory(sub, path, f, paths, next))
      l.errors.push_back("can't read all of it: " + path.substr(0, path.size() - 1) + ": " + std::strerror(errno));
    stack.push_back(std::move(next));
    // Too many open: the one nearest the operand gives its descriptor up.
    if (++open_count > WALK_OPEN_DIRS) {
      for (open_dir& d : stack) {
        if (d.fd >= 0 && &d != &stack.back()) {
          ::close(d.fd);
          d.fd = -1;
          --open_count;
          break;
        }
      }
    }
  }
}

}  // namespace

bool kept_out(file_kind k, written w) {
  if (k == file_kind::patch || k == file_kind::tsv) return true;
  if (w == written::per_file) return false;
  if (w == written::spaces) return k == file_kind::makefile;
  return k == file_kind::yaml;
}

bool filters_take_file(const walk_filters& f, std::string_view path) {
  const std::string base(base_of(path));
  if (!f.include.empty() && !any_matches(f.include, base)) return false;
  return !any_matches(f.exclude, base) && !any_matches(f.exclude, std::string(path));
}

bool filters_take_dir(const walk_filters& f, std::string_view path) {
  return !any_matches(f.exclude_dir, std::string(base_of(path))) && !any_matches(f.exclude_dir, std::string(path));
}

listing list_directory(int dir, const walk_filters& filters, written w) {
  listing l;
  std::vector<std::string> found;
  const git_answer a = git_listing(dir, found, l);
  if (a == git_answer::not_a_work_tree || a == git_answer::unavailable) {
    found.clear();
    const int own = ::fcntl(dir, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
      l.errors.push_back(with_errno("can't read all of it", errno));
      return l;
    }
    walk(own, filters, found, l);
  }
  std::map<std::string, bool> dirs_taken;
  for (std::string& p : found)
    if (takes(dir, filters, p, w, dirs_taken)) l.paths.push_back(std::move(p));
  std::sort(l.paths.begin(), l.paths.end());
  return l;
}

}  // namespace morek
