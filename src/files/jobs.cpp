#include "jobs.hpp"

#if defined(MOREK_HAVE_SCHED_GETAFFINITY)
#include <sched.h>
#endif
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

#include "replace.hpp"
#include "utf8.hpp"

namespace morek {

namespace {

// A batch's new files wait for one sync of their filesystem before they are
// renamed into place, since a sync per file would cost more than the
// conversion; at most this many, or this many bytes.
constexpr std::size_t BATCH_FILES = 128;
// Two batches may be open at a time, one filling and one committing, and
// each file in one holds up to three descriptors (the file, its new version
// and its directory); a file of the window holds up to three too (its
// directory, the file, and a worker's while it reads). A few more are the
// standard streams and git's pipes.
constexpr rlim_t RESERVED_FDS = 10;
constexpr std::size_t WINDOW_PER_JOB = 32;

}  // namespace

unsigned default_jobs() {
  long n = 0;
#if defined(MOREK_HAVE_SCHED_GETAFFINITY)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) n = CPU_COUNT(&set);
#endif
  if (n <= 0) n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n <= 0 ? 1 : n > static_cast<long>(JOBS_MAX) ? JOBS_MAX : static_cast<unsigned>(n);
}

job_limits limits_for(unsigned jobs) {
  const std::size_t window_most = static_cast<std::size_t>(jobs) * WINDOW_PER_JOB;
  rlimit lim{};
  if (::getrlimit(RLIMIT_NOFILE, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY) return {BATCH_FILES, window_most};
  // Batches shrink to fit, down to one file, and then the window.
  const rlim_t fds = lim.rlim_cur > RESERVED_FDS ? lim.rlim_cur - RESERVED_FDS : 0;
  const rlim_t fit = fds > 6 ? fds / 6 : 1;
  const std::size_t batch = fit < BATCH_FILES ? static_cast<std::size_t>(fit) : BATCH_FILES;
  const rlim_t left = fds > 6 * batch ? (fds - 6 * batch) / 3 : 0;
  const std::size_t window = left < 1 ? 1 : left < window_most ? static_cast<std::size_t>(left) : window_most;
  return {batch, window};
}

// ---- job_runner --------------------------------------------------------

namespace {

// Jobs handed over, and taken back, at once at most.
constexpr std::size_t HAND_OVER = 8;

}  // namespace

job_runner::job_runner(unsigned workers, std::size_t window) : window_(window < 1 ? 1 : window), room_(workers) {
  if (workers < 2) return;
  // The table of widths is filled at its first use: before any worker.
  (void)utf8_width(0xA0);
  threads_.reserve(workers);
  for (unsigned k = 0; k < workers; ++k) {
    pthread_t t;
    if (!start_thread_without_cleanup_signals(t, work, this)) break;
    threads_.push_back(t);
  }
}

job_runner::~job_runner() {
  pthread_mutex_lock(&lock_);
  quit_ = true;
  pthread_cond_broadcast(&to_work_);
  pthread_mutex_unlock(&lock_);
  for (pthread_t t : threads_) pthread_join(t, nullptr);
}

void job_runner::push(std::unique_ptr<job> j) {
  ++outstanding_;
  if (threads_.empty()) {
    slot& s = done_.emplace_back();
    s.holds = j->run();
    s.j = std::move(j);
    return;
  }
  coming_.push_back(std::move(j));
  if (coming_.size() >= HAND_OVER || full()) hand_over();
}

void job_runner::hand_over() {
  if (coming_.empty()) return;
  pthread_mutex_lock(&lock_);
  for (auto& j : coming_) queue_.emplace_back().j = std::move(j);
  if (idle_ > 1 && coming_.size() > 1)
    pthread_cond_broadcast(&to_work_);
  else if (idle_ > 0)
    pthread_cond_signal(&to_work_);
  pthread_mutex_unlock(&lock_);
  coming_.clear();
}

std::unique_ptr<job_runner::job> job_runner::pop(bool wait) {
  // Without waiting, the workers are looked at when jobs were just handed
  // over to them, once every few.
  if (done_.empty() && !threads_.empty() && (wait || coming_.empty())) {
    hand_over();
    pthread_mutex_lock(&lock_);
    if (wait) {
      wanted_ = window_ / 4 < 1 ? 1 : window_ / 4;
      while (!to_pop()) {
        popping_ = true;
        pthread_cond_wait(&to_pop_, &lock_);
      }
      popping_ = false;
    }
    while (!queue_.empty() && queue_.front().done) {
      done_.push_back(std::move(queue_.front()));
      queue_.pop_front();
      --started_;
    }
    pthread_mutex_unlock(&lock_);
  }
  if (done_.empty()) return nullptr;
  std::unique_ptr<job> j = std::move(done_.front().j);
  const bool holds = done_.front().holds;
  done_.pop_front();
  --outstanding_;
  if (holds && !threads_.empty()) {
    // Its text is the caller's now: a worker may take another.
    pthread_mutex_lock(&lock_);
    ++room_;
    pthread_cond_signal(&to_work_);
    pthread_mutex_unlock(&lock_);
  }
  return j;
}

bool job_runner::heads_done(std::size_t n) const {
  for (std::size_t k = 0; k < n && k < queue_.size(); ++k)
    if (!queue_[k].done) return false;
  return true;
}

bool job_runner::to_pop() const {
  return heads_done(wanted_) || (room_ == 0 && queue_.front().done);
}

void* job_runner::work(void* self) {
  static_cast<job_runner*>(self)->loop();
  return nullptr;
}

void job_runner::loop() {
  slot* mine = nullptr;  // the job this worker runs
  bool holds = false;
  pthread_mutex_lock(&lock_);
  for (;;) {
    if (mine != nullptr) {
      mine->holds = holds;
      mine->done = true;
      if (!holds) ++room_;
      if (popping_ && to_pop()) pthread_cond_signal(&to_pop_);
      mine = nullptr;
    }
    while (!quit_ && !(started_ < queue_.size() && room_ > 0)) {
      ++idle_;
      pthread_cond_wait(&to_work_, &lock_);
      --idle_;
    }
    if (!(started_ < queue_.size() && room_ > 0)) break;
    // Slots stay where they are while others come and go at the ends.
    mine = &queue_[started_++];
    --room_;
    pthread_mutex_unlock(&lock_);
    holds = mine->j->run();
    pthread_mutex_lock(&lock_);
  }
  pthread_mutex_unlock(&lock_);
}

// ---- batch_committer ---------------------------------------------------

bool batch_committer::start() { return running_ = start_thread_without_cleanup_signals(thread_, run, this); }

void batch_committer::hand_over(std::unique_ptr<batch> b) {
  if (!running_) {
    b->commit();
    return;
  }
  pthread_mutex_lock(&lock_);
  while (work_ != nullptr) pthread_cond_wait(&cond_, &lock_);
  work_ = std::move(b);
  pthread_cond_broadcast(&cond_);
  pthread_mutex_unlock(&lock_);
}

void batch_committer::finish() {
  if (!running_) return;
  pthread_mutex_lock(&lock_);
  while (work_ != nullptr) pthread_cond_wait(&cond_, &lock_);
  quit_ = true;
  pthread_cond_broadcast(&cond_);
  pthread_mutex_unlock(&lock_);
  pthread_join(thread_, nullptr);
  running_ = false;
}

void* batch_committer::run(void* self) {
  static_cast<batch_committer*>(self)->loop();
  return nullptr;
}

void batch_committer::loop() {
  pthread_mutex_lock(&lock_);
  for (;;) {
    while (work_ == nullptr && !quit_) pthread_cond_wait(&cond_, &lock_);
    if (work_ == nullptr) break;
    batch* b = work_.get();
    pthread_mutex_unlock(&lock_);
    b->commit();
    pthread_mutex_lock(&lock_);
    work_.reset();
    pthread_cond_broadcast(&cond_);
  }
  pthread_mutex_unlock(&lock_);
}

}  // namespace morek
