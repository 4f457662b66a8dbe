#include "replace.hpp"

#include <acl/libacl.h>
#include <attr/libattr.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <pthread.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace morek {

namespace {

constexpr std::array<int, 3> cleanup_signals = {SIGINT, SIGTERM, SIGHUP};

// The new files not yet in place, for the signal handler: each slot is null or
// a copy of a path. The handler runs only on the thread that makes new files
// (other threads block the signals), and that thread fills slots with the
// signals blocked. Any thread may empty a slot; the copy it held is freed
// later, by the thread that makes new files, again with the signals blocked,
// so that the handler never reads a freed copy.
constexpr std::size_t SLOTS = 1024;
std::atomic<const char*> pending[SLOTS];
static_assert(std::atomic<const char*>::is_always_lock_free, "the signal handler reads the slots");

// Copies whose slots were emptied, to be freed.
std::mutex retired_lock;
std::vector<const char*> retired;

extern "C" void remove_pending_and_die(int sig) {
  for (auto& slot : pending)
    if (const char* p = slot.load()) ::unlink(p);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  ::sigaction(sig, &dfl, nullptr);
  ::raise(sig);  // delivered, and fatal, when this handler returns
}

sigset_t cleanup_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : cleanup_signals) sigaddset(&set, sig);
  return set;
}

// Blocks the cleanup signals on this thread for its lifetime, so that a new
// file and its slot appear and go together.
class signals_blocked {
 public:
  signals_blocked() {
    const sigset_t set = cleanup_set();
    ::pthread_sigmask(SIG_BLOCK, &set, &saved_);
  }
  ~signals_blocked() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  signals_blocked(const signals_blocked&) = delete;
  signals_blocked& operator=(const signals_blocked&) = delete;

 private:
  sigset_t saved_;
};

void forget(const std::string& path) {
  for (auto& slot : pending) {
    const char* p = slot.load();
    if (p != nullptr && path == p) {
      slot.store(nullptr);
      const std::lock_guard<std::mutex> hold(retired_lock);
      retired.push_back(p);
      return;
    }
  }
}

// Frees the copies of emptied slots. Only where new files are made, with the
// signals blocked.
void free_retired() {
  const std::lock_guard<std::mutex> hold(retired_lock);
  for (const char* p : retired) std::free(const_cast<char*>(p));
  retired.clear();
}

// The directory part of a path, with its slash; empty for a bare name.
std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

bool start_thread_without_cleanup_signals(pthread_t& thread, void* (*run)(void*), void* arg) {
  signals_blocked blocked;  // the new thread starts with this mask
  return ::pthread_create(&thread, nullptr, run, arg) == 0;
}

void release_forgotten() {
  signals_blocked blocked;
  free_retired();
}

void install_cleanup() {
  for (int sig : cleanup_signals) {
    struct sigaction old {};
    ::sigaction(sig, nullptr, &old);
    if (old.sa_handler == SIG_IGN) continue;  // as under nohup: stays ignored
    struct sigaction on {};
    on.sa_handler = remove_pending_and_die;
    sigemptyset(&on.sa_mask);
    ::sigaction(sig, &on, nullptr);
  }
  std::signal(SIGXFSZ, SIG_IGN);
}

bool create_beside(const std::string& target, new_file& f) {
  // Room for the suffix within the 255 bytes a name may have.
  std::string name = target.substr(directory_of(target).size(), 200);
  std::string path = directory_of(target) + "." + name + ".morek-XXXXXX";
  char* copy = ::strdup(path.c_str());
  if (copy == nullptr) return false;
  signals_blocked blocked;
  free_retired();
  const int fd = ::mkostemp(copy, O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    std::free(copy);
    errno = e;
    return false;
  }
  auto undo = [&](int e) {
    ::unlink(copy);
    ::close(fd);
    std::free(copy);
    errno = e;
    return false;
  };
  struct stat st;
  if (::fstat(fd, &st) != 0) return undo(errno);
  for (auto& slot : pending) {
    if (slot.load() == nullptr) {
      slot.store(copy);
      f.fd = fd;
      f.path = copy;
      f.dev = st.st_dev;
      f.ino = st.st_ino;
      return true;
    }
  }
  return undo(EMFILE);  // more new files at once than the handler tracks: not one this program makes
}

bool copy_metadata(int fd, const std::string& path, const struct stat& st, const new_file& f) {
  // Owner first: a change of owner clears the set-user-ID and set-group-ID
  // bits, which the mode then puts back. Without the right to give a file
  // away, the new file stays the process's own.
  if (::fchown(f.fd, st.st_uid, st.st_gid) != 0) {
    // The group alone, where the process belongs to it.
    [[maybe_unused]] const int ignored = ::fchown(f.fd, static_cast<uid_t>(-1), st.st_gid);
  }
  if (::fchmod(f.fd, st.st_mode & 07777) != 0) return false;
  // Most files have no extended attribute at all, ACLs included: then the
  // mode is all there is to carry.
  const ssize_t names = ::flistxattr(fd, nullptr, 0);
  if (names == 0 || (names < 0 && (errno == ENOTSUP || errno == ENOSYS))) return true;
  if (::acl_extended_fd(fd) == 1 && ::perm_copy_fd(path.c_str(), fd, f.path.c_str(), f.fd, nullptr) != 0)
    return false;
  if (::attr_copy_fd(path.c_str(), fd, f.path.c_str(), f.fd, nullptr, nullptr) != 0 && errno != ENOTSUP)
    return false;
  return true;
}

bool make_durable(std::span<const new_file* const> files) {
  std::vector<dev_t> synced;
  for (const new_file* f : files) {
    bool done = false;
    for (dev_t d : synced) done = done || d == f->dev;
    if (done) continue;
    if (::syncfs(f->fd) != 0) return false;
    synced.push_back(f->dev);
  }
  return true;
}

bool put_in_place(new_file& f, const std::string& target) {
  signals_blocked blocked;
  if (::close(f.fd) != 0) {
    f.fd = -1;
    return false;
  }
  f.fd = -1;
  if (::rename(f.path.c_str(), target.c_str()) != 0) return false;
  forget(f.path);
  return true;
}

void discard(new_file& f) {
  const int e = errno;
  signals_blocked blocked;
  if (f.fd >= 0) ::close(f.fd);
  f.fd = -1;
  ::unlink(f.path.c_str());
  forget(f.path);
  errno = e;
}

}  // namespace morek
