#include "locate.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace morek {

namespace {

// The absolute path of the directory open as fd, named path. realpath fails
// where a directory above is not searchable; the kernel still knows the path
// of an open directory. Empty when neither says.
std::string absolute_of(const std::string& path, int fd) {
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    std::string r = real;
    std::free(real);
    return r;
  }
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  std::string r(4096, '\0');
  const ssize_t n = ::readlink(link, r.data(), r.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= r.size() || r[0] != '/') return std::string();
  r.resize(static_cast<std::size_t>(n));
  return r;
}

}  // namespace

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
    std::string absolute = absolute_ ? absolute_of(dir_path, fd) : std::string();
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
  return std::make_shared<const dir_handle>(fd, operand, absolute_ ? absolute_of(operand, fd) : std::string());
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
