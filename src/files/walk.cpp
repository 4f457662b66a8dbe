#include "walk.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <map>

#include "git.hpp"
#include "locate.hpp"

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


// What git lists under the directory dir.
git_answer git_listing(int dir, std::vector<std::string>& paths, listing& l) {
  static const std::string args[] = {"ls-files", "-z", "--cached", "--others", "--exclude-standard"};
  const git_run run = run_git(dir, args);
  if (run.how == git_run::end::timed_out) {
    l.errors.push_back("git did not list it within " + std::to_string(run.seconds) +
                       " s (is a file it reads a FIFO?); stopped");
    return git_answer::failed;
  }
  if (run.how != git_run::end::exited) {
    l.note = run.why();
    return git_answer::unavailable;
  }
  const std::vector<std::string> said = run.said();
  const std::string& out = run.out;
  if (!run.ok()) {
    for (const std::string& line : said)
      if (line.find("not a git repository") != std::string::npos) return git_answer::not_a_work_tree;
    l.note = run.why();
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
