#include "locate.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "morek_config.h"

namespace morek {

namespace {

// Whether path names the directory that st describes.
bool names_it(const std::string& path, const struct stat& st) {
  struct stat there;
  return !path.empty() && path[0] == '/' && ::stat(path.c_str(), &there) == 0 && there.st_dev == st.st_dev &&
         there.st_ino == st.st_ino;
}

#if MOREK_HAVE_PROC_FD_PATHS
// The path the kernel keeps for an open descriptor, where it shows it.
std::string kernel_path(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  std::string r(4096, '\0');
  const ssize_t n = ::readlink(link, r.data(), r.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= r.size()) return std::string();
  r.resize(static_cast<std::size_t>(n));
  return r;
}
#endif

// The name under which the directory open as parent holds the directory
// that st describes; false when it holds none.
bool name_in(int parent, const struct stat& parent_st, const struct stat& st, std::string& name) {
  const int own = ::fcntl(parent, F_DUPFD_CLOEXEC, 0);
  DIR* dir = own < 0 ? nullptr : ::fdopendir(own);
  if (dir == nullptr) {
    if (own >= 0) ::close(own);
    return false;
  }
  // An entry's inode number is most often the directory's own, which spares
  // a status for each other entry; not for the root of a filesystem mounted
  // there, nor on every filesystem: those are known by their status alone.
  bool found = false;
  for (bool by_number : {parent_st.st_dev == st.st_dev, false}) {
    ::rewinddir(dir);
    while (const dirent* e = ::readdir(dir)) {
      if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
      if (by_number && e->d_ino != st.st_ino) continue;
      struct stat entry;
      if (::fstatat(parent, e->d_name, &entry, AT_SYMLINK_NOFOLLOW) == 0 && entry.st_dev == st.st_dev &&
          entry.st_ino == st.st_ino) {
        name = e->d_name;
        found = true;
        break;
      }
    }
    if (found || !by_number) break;
  }
  ::closedir(dir);
  return found;
}

// The current directory's path: false when it cannot be had.
bool current_directory(std::string& cwd) {
  for (std::size_t size = 4096; size <= (1u << 20); size *= 2) {
    cwd.resize(size);
    if (::getcwd(cwd.data(), size) != nullptr) {
      cwd.resize(std::strlen(cwd.c_str()));
      return !cwd.empty() && cwd[0] == '/';
    }
    if (errno != ERANGE) return false;
  }
  return false;
}

// The path of the directory that st describes, opened as the relative path
// path: the current directory's and path's own, where no component of path
// is a link and it still leads there. Each component is looked at from the
// current directory, so a directory above it that cannot be searched does
// not stand in the way.
std::string below_current(const std::string& path, const struct stat& st) {
  if (path.empty() || path[0] == '/') return std::string();
  std::vector<std::string> parts;
  std::size_t above = 0;  // levels above the current directory
  std::string walked;     // path so far, as given, to look at each component
  for (std::size_t at = 0; at <= path.size();) {
    std::size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(at, end - at);
    at = end + 1;
    if (part.empty() || part == ".") continue;
    walked += walked.empty() ? part : "/" + part;
    if (part == "..") {
      // A directory's ".." is its parent, since none on the way is a link.
      if (parts.empty())
        ++above;
      else
        parts.pop_back();
      continue;
    }
    struct stat step;
    if (::fstatat(AT_FDCWD, walked.c_str(), &step, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(step.st_mode))
      return std::string();
    parts.push_back(part);
  }
  struct stat there;
  std::string r;
  if (::fstatat(AT_FDCWD, walked.empty() ? "." : walked.c_str(), &there, 0) != 0 || there.st_dev != st.st_dev ||
      there.st_ino != st.st_ino || !current_directory(r))
    return std::string();
  for (; above > 0; --above) r.resize(r.size() > 1 ? std::max<std::size_t>(r.rfind('/'), 1) : 1);
  for (const std::string& part : parts) r = joined_path(r, part);
  return r;
}

}  // namespace

std::string climbed_path(int fd) {
  std::vector<std::string> names;  // from the directory up
  int at = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  struct stat st;
  if (at < 0 || ::fstat(at, &st) != 0) {
    if (at >= 0) ::close(at);
    return std::string();
  }
  for (;;) {
    const int up = ::openat(at, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat up_st;
    if (up < 0 || ::fstat(up, &up_st) != 0) {
      if (up >= 0) ::close(up);
      ::close(at);
      return std::string();
    }
    if (up_st.st_dev == st.st_dev && up_st.st_ino == st.st_ino) {  // the root is its own parent
      ::close(up);
      ::close(at);
      break;
    }
    std::string name;
    const bool found = name_in(up, up_st, st, name);
    ::close(at);
    at = up;
    st = up_st;
    if (!found) {
      ::close(at);
      return std::string();
    }
    names.push_back(std::move(name));
  }
  std::string path;
  for (auto it = names.rbegin(); it != names.rend(); ++it) path += "/" + *it;
  return path.empty() ? "/" : path;
}

std::string directory_path(const std::string& path, int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return std::string();
  // The quick answers, each taken only if it still names this directory:
  // a directory above may have been renamed, or swapped for a link.
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    std::string r = real;
    std::free(real);
    if (names_it(r, st)) return r;
  }
#if MOREK_HAVE_PROC_FD_PATHS
  // The kernel knows the path of an open directory even where a directory
  // above cannot be searched, or the path is longer than PATH_MAX.
  if (std::string r = kernel_path(fd); !r.empty() && r[0] == '/') {
    struct stat there;
    if (::stat(r.c_str(), &there) == 0 ? there.st_dev == st.st_dev && there.st_ino == st.st_ino
                                       : errno == EACCES || errno == ENAMETOOLONG)
      return r;
  }
#endif
  if (std::string r = below_current(path, st); !r.empty()) return r;
  return climbed_path(fd);
}

std::string with_errno(const char* what, int e) { return std::string(what) + ": " + std::strerror(e); }

dir_handle::~dir_handle() {
  if (fd >= 0) ::close(fd);
}

found locator::operand(const std::string& name, place& at, std::string& why) {
  struct stat st;
  if (::lstat(name.c_str(), &st) != 0) {
    why = with_errno("can't open", errno);
    return found::no;
  }
  std::string target = name;
  if (S_ISLNK(st.st_mode)) {
    char* real = ::realpath(name.c_str(), nullptr);
    if (real == nullptr || ::stat(real, &st) != 0) {
      why = with_errno("can't open", errno);
      std::free(real);
      return found::no;
    }
    target = real;
    std::free(real);
  }
  if (!S_ISREG(st.st_mode)) {
    why = S_ISDIR(st.st_mode) ? "is a directory" : "is not a regular file";
    return found::no;
  }
  const std::size_t slash = target.rfind('/');
  std::string dir_path = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  at.base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (last_ == nullptr || last_root_ != nullptr || last_->path != dir_path) {
    const int fd = ::open(dir_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      why = with_errno("can't open", errno);
      return found::no;
    }
    std::string absolute = absolute_ ? directory_path(dir_path, fd) : std::string();
    last_ = std::make_shared<const dir_handle>(fd, std::move(dir_path), std::move(absolute));
    last_root_ = nullptr;
  }
  at.dir = last_;
  return found::yes;
}

found locator::below(const shared_dir& root, const std::string& path, place& at, std::string& why) {
  const std::size_t slash = path.rfind('/');
  std::string dir_path = slash == std::string::npos ? std::string() : path.substr(0, slash);
  at.base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (last_ == nullptr || last_root_ != root.get() || last_->path != dir_path) {
    int fd = ::fcntl(root->fd, F_DUPFD_CLOEXEC, 0);
    for (std::size_t from = 0; fd >= 0 && from < dir_path.size();) {
      std::size_t end = dir_path.find('/', from);
      if (end == std::string::npos) end = dir_path.size();
      const std::string part = dir_path.substr(from, end - from);
      const int sub = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      const int e = errno;
      ::close(fd);
      fd = sub;
      errno = e;
      from = end + 1;
    }
    if (fd < 0) {
      if (errno == ENOENT) return found::gone;
      why = with_errno("can't open", errno);
      return found::no;
    }
    std::string absolute;
    if (absolute_) absolute = dir_path.empty() ? root->absolute : joined_path(root->absolute, dir_path);
    last_ = std::make_shared<const dir_handle>(fd, std::move(dir_path), std::move(absolute));
    last_root_ = root.get();
  }
  at.dir = last_;
  return found::yes;
}

shared_dir locator::open_root(const char* operand) const {
  const int fd = ::open(operand, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_shared<const dir_handle>(fd, operand, absolute_ ? directory_path(operand, fd) : std::string());
}

std::string joined_name(std::string_view operand, const std::string& below) {
  while (operand.size() > 1 && operand.back() == '/') operand.remove_suffix(1);
  if (operand == ".") return below;
  std::string name(operand);
  if (name.back() != '/') name += '/';
  return name + below;
}

std::string joined_path(const std::string& dir, const std::string& name) {
  return dir == "/" ? "/" + name : dir + "/" + name;
}

bool is_directory(const char* operand) {
  struct stat st;
  return ::stat(operand, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace morek
