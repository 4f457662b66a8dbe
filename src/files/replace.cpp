#include "replace.hpp"

#include <acl/libacl.h>
#include <attr/libattr.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

namespace morek {

namespace {

// The signals whose default action ends the process and that a process may
// catch; the real-time ones are added at run time. Those that report a fault
// of the program itself are left to the sanitizers where they watch.
#if defined(__SANITIZE_ADDRESS__)
#define MOREK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MOREK_SANITIZED 1
#endif
#endif
constexpr int fatal_signals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGTERM, SIGPIPE,   SIGALRM, SIGUSR1,
    SIGUSR2,   SIGPOLL, SIGPROF, SIGXCPU, SIGVTALRM, SIGPWR,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifndef MOREK_SANITIZED
    SIGABRT,   SIGBUS,  SIGFPE,  SIGILL,  SIGSEGV,   SIGSYS,  SIGTRAP,
#endif
};

template <class F>
void for_each_cleanup_signal(F f) {
  for (int sig : fatal_signals) f(sig);
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) f(sig);
}

// A new file not yet in place, as the signal handler needs it: the
// directory's descriptor and the name in it.
struct pending_file {
  int dir;
  char name[256];
};

// The new files not yet in place, for the signal handler: each slot is null
// or a record. The handler runs only on the thread that makes new files (other
// threads block the signals), and that thread fills slots with the signals
// blocked. Any thread may empty a slot; the record it held is freed later, by
// the thread that makes new files, again with the signals blocked, so that the
// handler never reads a freed record.
constexpr std::size_t SLOTS = 1024;
std::atomic<pending_file*> pending[SLOTS];
static_assert(std::atomic<pending_file*>::is_always_lock_free, "the signal handler reads the slots");
std::atomic<bool> dying{false};

// Records whose slots were emptied, to be freed.
std::mutex retired_lock;
std::vector<pending_file*> retired;

extern "C" void remove_pending_and_die(int sig) {
  dying.store(true);
  for (auto& slot : pending)
    if (const pending_file* p = slot.load()) ::unlinkat(p->dir, p->name, 0);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  ::sigaction(sig, &dfl, nullptr);
  ::raise(sig);  // delivered, and fatal, when this handler returns
}

sigset_t cleanup_set() {
  sigset_t set;
  sigemptyset(&set);
  for_each_cleanup_signal([&](int sig) { sigaddset(&set, sig); });
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

void forget(const new_file& f) {
  for (auto& slot : pending) {
    pending_file* p = slot.load();
    if (p != nullptr && p->dir == f.dir && f.name == p->name) {
      slot.store(nullptr);
      const std::lock_guard<std::mutex> hold(retired_lock);
      retired.push_back(p);
      return;
    }
  }
}

// Frees the records of emptied slots. Only where new files are made, with
// the signals blocked.
void free_retired() {
  const std::lock_guard<std::mutex> hold(retired_lock);
  for (pending_file* p : retired) delete p;
  retired.clear();
}

// Six letters or digits that another run, or an attacker, cannot foresee.
void random_suffix(char* out) {
  static const char chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    static unsigned counter = 0;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned long v =
        static_cast<unsigned long>(now.tv_nsec) ^ (static_cast<unsigned long>(::getpid()) << 20) ^ ++counter;
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(v);
      v = v * 6364136223846793005UL + 1442695040888963407UL;
      b ^= static_cast<unsigned char>(v >> 56);
    }
  }
  for (std::size_t k = 0; k < sizeof bytes; ++k) out[k] = chars[bytes[k] % (sizeof chars - 1)];
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

bool cleanup_started() { return dying.load(); }

void install_cleanup() {
  for_each_cleanup_signal([](int sig) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) return;  // as under nohup: stays ignored
    struct sigaction on {};
    on.sa_handler = remove_pending_and_die;
    sigemptyset(&on.sa_mask);
    ::sigaction(sig, &on, nullptr);
  });
  std::signal(SIGXFSZ, SIG_IGN);
}

bool create_beside(int dir, std::string_view base, new_file& f) {
  // Room for the suffix within the 255 bytes a name may have.
  const std::string_view kept = base.substr(0, 200);
  auto* rec = new (std::nothrow) pending_file{};
  if (rec == nullptr) {
    errno = ENOMEM;
    return false;
  }
  rec->dir = dir;
  char* p = rec->name;
  *p++ = '.';
  std::memcpy(p, kept.data(), kept.size());
  p += kept.size();
  std::memcpy(p, ".morek-", 7);
  p += 7;
  signals_blocked blocked;
  free_retired();
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    random_suffix(p);
    p[6] = '\0';
    fd = ::openat(dir, rec->name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    const int e = errno;
    delete rec;
    errno = e;
    return false;
  }
  auto undo = [&](int e) {
    ::unlinkat(dir, rec->name, 0);
    ::close(fd);
    delete rec;
    errno = e;
    return false;
  };
  struct stat st;
  if (::fstat(fd, &st) != 0) return undo(errno);
  for (auto& slot : pending) {
    if (slot.load() == nullptr) {
      slot.store(rec);
      f.fd = fd;
      f.dir = dir;
      f.name = rec->name;
      f.dev = st.st_dev;
      f.ino = st.st_ino;
      return true;
    }
  }
  return undo(EMFILE);  // more new files at once than the handler tracks: not one this program makes
}

bool copy_metadata(int fd, const struct stat& st, const new_file& f) {
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
  // The names only label the libraries' messages, and none is asked for.
  if (::acl_extended_fd(fd) == 1 && ::perm_copy_fd(f.name.c_str(), fd, f.name.c_str(), f.fd, nullptr) != 0)
    return false;
  if (::attr_copy_fd(f.name.c_str(), fd, f.name.c_str(), f.fd, nullptr, nullptr) != 0 && errno != ENOTSUP) return false;
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

bool put_in_place(new_file& f, std::string_view target) {
  signals_blocked blocked;
  if (::close(f.fd) != 0) {
    f.fd = -1;
    return false;
  }
  f.fd = -1;
  const std::string to(target);
  if (::renameat(f.dir, f.name.c_str(), f.dir, to.c_str()) != 0) return false;
  forget(f);
  return true;
}

void discard(new_file& f) {
  const int e = errno;
  signals_blocked blocked;
  if (f.fd >= 0) ::close(f.fd);
  f.fd = -1;
  ::unlinkat(f.dir, f.name.c_str(), 0);
  forget(f);
  errno = e;
}

}  // namespace morek
