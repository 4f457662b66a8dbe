#include "replace.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include "morek_config.h"
#if MOREK_HAVE_LIBACL
#include <acl/libacl.h>
#include <attr/libattr.h>
#endif
#if MOREK_HAVE_XATTR
#include <sys/xattr.h>
#endif
#if MOREK_HAVE_GETRANDOM
#include <sys/random.h>
#endif

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
    SIGHUP,    SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGPROF, SIGXCPU, SIGVTALRM,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifndef MOREK_SANITIZED
    SIGABRT,   SIGBUS, SIGFPE,  SIGILL,  SIGSEGV, SIGSYS,  SIGTRAP,
#endif
};

template <class F>
void for_each_cleanup_signal(F f) {
  for (int sig : fatal_signals) f(sig);
#ifdef SIGRTMIN
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) f(sig);
#endif
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

// n bytes from the system's random numbers; false when it has none to give.
bool system_random(unsigned char* bytes, std::size_t n) {
#if MOREK_HAVE_GETRANDOM
  return ::getrandom(bytes, n, GRND_NONBLOCK) == static_cast<ssize_t>(n);
#elif MOREK_HAVE_ARC4RANDOM_BUF
  ::arc4random_buf(bytes, n);
  return true;
#else
  // Opened once for the run: a file's name then costs one read, not three
  // calls. Reads of the device from several threads need no lock.
  static const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  return fd >= 0 && ::read(fd, bytes, n) == static_cast<ssize_t>(n);
#endif
}

// Six letters or digits that another run, or an attacker, cannot foresee.
void random_suffix(char* out) {
  static const char chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6];
  if (!system_random(bytes, sizeof bytes)) {
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

// Syncs files on up to SYNC_THREADS threads at once, the caller's among
// them. The threads are started as a run first needs them and kept until
// the process exits: each costs its thread-local buffers to start, which a
// batch of syncs would pay again and again. Syncs that wait at the same time
// share the filesystem's commits and the disk's cache flushes; beyond 8
// threads more of them only wait, and take the processor from the conversion.
constexpr std::size_t SYNC_THREADS = 8;

class sync_pool;
sync_pool& syncer();

class sync_pool {
 public:
  sync_pool() = default;
  sync_pool(const sync_pool&) = delete;
  sync_pool& operator=(const sync_pool&) = delete;

  // 0, or the errno of the first sync of fds that failed; for directories,
  // EINVAL is no failure, as a system that cannot sync one says so. One call
  // at a time.
  int run(std::span<const int> fds, bool directories) {
    const std::lock_guard<std::mutex> one_at_a_time(calls_);
    std::unique_lock<std::mutex> hold(lock_);
    grow(std::min(fds.size(), SYNC_THREADS) - (fds.empty() ? 0 : 1));
    fds_ = fds;
    directories_ = directories;
    next_.store(0);
    failure_.store(0);
    open_ = true;
    ++round_;
    wake_.notify_all();
    hold.unlock();
    sync_some(fds, directories);
    hold.lock();
    // A helper that wakes from here on finds the round closed; those that
    // joined it finish their syncs before the files go.
    open_ = false;
    done_.wait(hold, [&] { return busy_ == 0; });
    return failure_.load();
  }

  // Ends the helpers once the round under way is done; the next round starts
  // new ones. At exit, since a thread still running then keeps memory that
  // leak checkers count as lost.
  void stop() {
    const std::lock_guard<std::mutex> one_at_a_time(calls_);
    std::unique_lock<std::mutex> hold(lock_);
    quit_ = true;
    wake_.notify_all();
    const std::size_t helpers = helpers_;
    helpers_ = 0;
    hold.unlock();
    for (std::size_t k = 0; k < helpers; ++k) ::pthread_join(threads_[k], nullptr);
    hold.lock();
    quit_ = false;
  }

 private:
  // Starts helpers until there are n, as far as the system lets it.
  void grow(std::size_t n) {
    while (helpers_ < n) {
      pthread_t t;
      // Without the cleanup signals: they stay on the thread that makes files.
      if (!start_thread_without_cleanup_signals(t, helper, this)) return;  // fewer, then
      threads_[helpers_++] = t;
      static const bool stopped_at_exit = std::atexit([] { syncer().stop(); }) == 0;
      static_cast<void>(stopped_at_exit);
    }
  }

  static void* helper(void* self) {
    auto* pool = static_cast<sync_pool*>(self);
    std::unique_lock<std::mutex> hold(pool->lock_);
    // The round that started it, if still open, is one to join.
    for (unsigned seen = pool->round_ - 1;;) {
      pool->wake_.wait(hold, [&] { return pool->quit_ || pool->round_ != seen; });
      if (pool->quit_) return nullptr;
      seen = pool->round_;
      if (!pool->open_) continue;
      const std::span<const int> fds = pool->fds_;
      const bool directories = pool->directories_;
      ++pool->busy_;
      hold.unlock();
      pool->sync_some(fds, directories);
      hold.lock();
      if (--pool->busy_ == 0) pool->done_.notify_all();
    }
  }

  void sync_some(std::span<const int> fds, bool directories) {
    for (std::size_t k; (k = next_.fetch_add(1)) < fds.size();) {
      if (::fsync(fds[k]) != 0 && !(directories && errno == EINVAL)) {
        int none = 0;
        failure_.compare_exchange_strong(none, errno);
      }
    }
  }

  friend std::size_t morek::sync_helpers();

  std::mutex calls_;
  std::mutex lock_;  // guards what follows, up to the counters
  std::condition_variable wake_, done_;
  std::span<const int> fds_;
  bool directories_ = false;
  unsigned round_ = 0;
  bool open_ = false;
  bool quit_ = false;
  std::size_t busy_ = 0;
  // Fixed, as a run that cannot get memory exits from within a round.
  std::array<pthread_t, SYNC_THREADS> threads_{};
  std::size_t helpers_ = 0;
  std::atomic<std::size_t> next_{0};
  std::atomic<int> failure_{0};
};

// Never destroyed: its helpers may wait on it until the process ends.
sync_pool& syncer() {
  static auto* pool = new sync_pool;
  return *pool;
}

#if MOREK_HAVE_XATTR
// Reads into out what get(buffer, size) gives, sized by get(nullptr, 0); the
// size is asked again if it grew meanwhile. False, with errno set, when it
// fails.
template <class Get>
bool read_sized(Get get, std::vector<char>& out) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const ssize_t n = get(nullptr, 0);
    if (n < 0) return false;
    out.resize(static_cast<std::size_t>(n));
    if (n == 0) return true;
    const ssize_t got = get(out.data(), out.size());
    if (got >= 0) {
      out.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
  return false;
}

// The names of the extended attributes of the file open as fd, each ending
// in a NUL.
bool listed_attributes(int fd, std::vector<char>& names) {
  return read_sized([&](char* buf, std::size_t size) { return ::flistxattr(fd, buf, size); }, names);
}

bool attribute_value(int fd, const char* name, std::vector<char>& value) {
  return read_sized([&](char* buf, std::size_t size) { return ::fgetxattr(fd, name, buf, size); }, value);
}
#endif

}  // namespace

bool start_thread_without_cleanup_signals(pthread_t& thread, void* (*run)(void*), void* arg) {
  // A thread converts as the main thread does, with the stack a main thread
  // usually has at the least: a system's default for threads may be far
  // smaller (a small `ulimit -s`, or a C library's own default), and one C
  // library places the thread-local buffers in it too.
  constexpr std::size_t STACK = 8 << 20;
  pthread_attr_t attr;
  const bool made = ::pthread_attr_init(&attr) == 0;
  std::size_t size = 0;
  const bool grown = made && ::pthread_attr_getstacksize(&attr, &size) == 0 && size < STACK &&
                     ::pthread_attr_setstacksize(&attr, STACK) == 0;
  signals_blocked blocked;  // the new thread starts with this mask
  const bool started = ::pthread_create(&thread, grown ? &attr : nullptr, run, arg) == 0;
  if (made) ::pthread_attr_destroy(&attr);
  return started;
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
#if MOREK_HAVE_LIBACL
  // Most files have no extended attribute at all, ACLs included: then the
  // mode is all there is to carry.
  const ssize_t names = ::flistxattr(fd, nullptr, 0);
  if (names == 0 || (names < 0 && (errno == ENOTSUP || errno == ENOSYS))) return true;
  // The names only label the libraries' messages, and none is asked for.
  if (::acl_extended_fd(fd) == 1 && ::perm_copy_fd(f.name.c_str(), fd, f.name.c_str(), f.fd, nullptr) != 0)
    return false;
  if (::attr_copy_fd(f.name.c_str(), fd, f.name.c_str(), f.fd, nullptr, nullptr) != 0 && errno != ENOTSUP) return false;
  return true;
#elif MOREK_HAVE_XATTR
  return attributes_already_there(fd, f.fd);
#else
  // Nothing here can see extended attributes or ACLs: the mode is all that
  // is carried.
  static_cast<void>(fd);
  return true;
#endif
}

bool attributes_already_there([[maybe_unused]] int from, [[maybe_unused]] int to) {
#if MOREK_HAVE_XATTR
  std::vector<char> names;
  if (!listed_attributes(from, names)) return errno == ENOTSUP || errno == ENOSYS;
  std::vector<char> had, has;
  for (std::size_t at = 0; at < names.size();) {
    const char* name = names.data() + at;
    at += std::strlen(name) + 1;
    if (!attribute_value(from, name, had)) return false;
    if (!attribute_value(to, name, has)) {
      if (errno == ENODATA || errno == ENOTSUP) errno = ENOTSUP;
      return false;
    }
    if (had != has) {
      errno = ENOTSUP;
      return false;
    }
  }
#endif
  return true;
}

bool make_durable(std::span<const new_file* const> files) {
#if MOREK_HAVE_SYNCFS
  std::vector<dev_t> synced;
  for (const new_file* f : files) {
    bool done = false;
    for (dev_t d : synced) done = done || d == f->dev;
    if (done) continue;
    if (::syncfs(f->fd) != 0) return false;
    synced.push_back(f->dev);
  }
  return true;
#else
  return sync_each(files);
#endif
}

std::size_t sync_helpers() {
  sync_pool& pool = syncer();
  const std::lock_guard<std::mutex> hold(pool.lock_);
  return pool.helpers_;
}

bool sync_each(std::span<const new_file* const> files) {
#if MOREK_HAVE_POSIX_FADVISE
  // The data of every file on its way to the disk at once, not file by file
  // as each sync comes to it.
  for (const new_file* f : files) ::posix_fadvise(f->fd, 0, 0, POSIX_FADV_DONTNEED);
#endif
  // The files, then their directories, once each, for the new names in them.
  std::vector<int> fds, dirs;
  fds.reserve(files.size());
  for (const new_file* f : files) {
    fds.push_back(f->fd);
    if (std::find(dirs.begin(), dirs.end(), f->dir) == dirs.end()) dirs.push_back(f->dir);
  }
  int e = syncer().run(fds, false);
  if (e == 0) e = syncer().run(dirs, true);
  if (e == 0) return true;
  errno = e;
  return false;
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
