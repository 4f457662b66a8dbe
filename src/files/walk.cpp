#include "walk.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

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

bool ends_with(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

bool is_vcs_directory(std::string_view name) { return name == ".git" || name == ".hg" || name == ".svn"; }

// Whether a file at path (below the operand) goes on the list: its
// directories, its name and its kind all let it.
bool takes(const walk_filters& f, std::string_view path, written w) {
  for (std::size_t slash = path.find('/'); slash != std::string_view::npos; slash = path.find('/', slash + 1))
    if (!filters_take_dir(f, path.substr(0, slash))) return false;
  return filters_take_file(f, path) && !kept_out_by_kind(base_of(path), w);
}

// Reads all that fd gives until its end.
std::string read_all(int fd) {
  std::string out;
  char buf[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      out.append(buf, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      return out;
    }
  }
}

// What git lists under the directory dir: false when git is missing, or
// the directory is not in a work tree git will work in.
bool git_listing(int dir, std::vector<std::string>& paths) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addfchdir_np(&actions, dir);
  // A repository's configuration may name a program to run for a file
  // system monitor: the listing never needs one.
  std::array<const char*, 10> argv = {"git",      "-c",       "core.fsmonitor=false", "ls-files", "-z",
                                      "--cached", "--others", "--exclude-standard",   nullptr};
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, "git", &actions, nullptr, const_cast<char* const*>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  if (spawned != 0) {
    ::close(pipe_fds[0]);
    return false;
  }
  const std::string out = read_all(pipe_fds[0]);
  ::close(pipe_fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  for (std::size_t at = 0; at < out.size();) {
    std::size_t end = out.find('\0', at);
    if (end == std::string::npos) end = out.size();
    // A directory (a repository within, untracked) is not entered.
    if (end > at && out[end - 1] != '/') paths.emplace_back(out, at, end - at);
    at = end + 1;
  }
  return true;
}

// Walks the directory open as dir, whose path below the operand is prefix
// (empty or ending in '/'). Takes over dir. False, with the error set, when a
// directory cannot be read.
bool walk(int dir, const std::string& prefix, const walk_filters& f, std::vector<std::string>& paths,
          std::string& error) {
  DIR* d = ::fdopendir(dir);
  if (d == nullptr) {
    error = prefix + ": " + std::strerror(errno);
    ::close(dir);
    return false;
  }
  std::vector<std::string> subdirs;
  errno = 0;
  while (const dirent* e = ::readdir(d)) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    unsigned char type = e->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st;
      if (::fstatat(dir, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    const std::string path = prefix + std::string(name);
    if (type == DT_DIR) {
      if (!is_vcs_directory(name) && filters_take_dir(f, path)) subdirs.push_back(std::string(name));
    } else if (type == DT_REG) {
      paths.push_back(path);
    }
    errno = 0;
  }
  const bool read_ok = errno == 0;
  if (!read_ok) error = (prefix.empty() ? std::string(".") : prefix) + ": " + std::strerror(errno);
  bool ok = read_ok;
  for (const std::string& name : subdirs) {
    // Never through a link, even one swapped in since the entry was read.
    const int sub = ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0) {
      if (errno == ENOENT || errno == ELOOP || errno == ENOTDIR) continue;
      error = prefix + name + ": " + std::strerror(errno);
      ok = false;
      continue;
    }
    ok = walk(sub, prefix + name + "/", f, paths, error) && ok;
  }
  ::closedir(d);
  return ok;
}

}  // namespace

bool kept_out_by_kind(std::string_view base, written w) {
  if (ends_with(base, ".patch") || ends_with(base, ".diff") || ends_with(base, ".tsv")) return true;
  if (w == written::per_file) return false;
  if (w == written::spaces)
    return base == "Makefile" || base == "makefile" || base == "GNUmakefile" || ends_with(base, ".mk") ||
           ends_with(base, ".mak");
  return ends_with(base, ".yml") || ends_with(base, ".yaml");
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
  if (!git_listing(dir, found)) {
    found.clear();
    const int own = ::fcntl(dir, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
      l.error = std::strerror(errno);
      return l;
    }
    (void)walk(own, "", filters, found, l.error);
  }
  for (std::string& p : found)
    if (takes(filters, p, w)) l.paths.push_back(std::move(p));
  std::sort(l.paths.begin(), l.paths.end());
  return l;
}

}  // namespace morek
