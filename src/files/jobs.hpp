// The run's jobs: the work of files on threads of their own, handed back in
// the order the files came, and batches of files committed on a thread of
// their own while the next files convert.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

namespace morek {

// Most jobs a run may ask for (-j).
inline constexpr unsigned JOBS_MAX = 1024;

// The processors the process may run on, at most JOBS_MAX: -j's default.
unsigned default_jobs();

// How far a run may go ahead, by the descriptors the process may open.
struct job_limits {
  std::size_t batch_files;  // files a batch commits at once (each holds three descriptors)
  std::size_t window;       // files worked on, or waiting their turn, at once
};
job_limits limits_for(unsigned jobs);

// Runs jobs on worker threads and hands them back in the order they were
// pushed. Workers take them in that order, and only while fewer than one per
// worker hold a file's text (a job that holds one keeps it until it is
// popped), so memory stays within the files of that many jobs and one more,
// the caller's. Jobs go to the workers, and come back to the caller, a few at
// a time, and a worker gives back one job and takes the next at once, so that
// the threads meet seldom. With one worker, no thread is started: each job
// runs as it is pushed, on the caller's thread. The cleanup signals never
// arrive on a worker.
class job_runner {
 public:
  struct job {
    virtual ~job() = default;
    // The work; true when what it leaves holds a file's text.
    virtual bool run() = 0;
  };

  job_runner(unsigned workers, std::size_t window);
  ~job_runner();  // lets the workers finish the jobs they have, and ends them
  job_runner(const job_runner&) = delete;
  job_runner& operator=(const job_runner&) = delete;

  // Whether the window is full: pop before pushing more.
  bool full() const { return outstanding_ >= window_; }
  void push(std::unique_ptr<job> j);
  // The oldest job, once it has run; null when there is none, or, unless
  // wait, when it has not run yet (or is not looked for yet). A wait lasts
  // until a quarter of the window has run, so that the caller then has
  // several jobs to take, and the workers as many to take after them; or
  // until the workers can take no more before the caller takes some.
  std::unique_ptr<job> pop(bool wait);

 private:
  struct slot {
    std::unique_ptr<job> j;
    bool done = false;
    bool holds = false;  // done, and holding a file's text
  };
  static void* work(void* self);
  void loop();
  // Gives the workers the jobs pushed since the last time.
  void hand_over();
  // Whether the first n jobs of the queue have run (or all, if fewer).
  bool heads_done(std::size_t n) const;
  // Whether the caller, waiting, is to take what has run: wanted_ jobs, or
  // the first, when the workers wait for room that only the caller makes.
  bool to_pop() const;

  std::size_t window_;
  std::size_t outstanding_ = 0;              // pushed and not popped
  std::vector<std::unique_ptr<job>> coming_;  // pushed, not yet handed over
  std::deque<slot> done_;                     // run, taken back, not yet popped
  // Shared with the workers, under lock_:
  std::deque<slot> queue_;   // oldest first; slots stay where they are until taken back
  std::size_t started_ = 0;  // the first jobs of queue_ that a worker took
  unsigned room_ = 0;        // jobs that may take a file's text yet
  unsigned idle_ = 0;        // workers waiting for jobs
  bool popping_ = false;     // the caller waits for the first wanted_ jobs
  std::size_t wanted_ = 1;
  bool quit_ = false;
  pthread_mutex_t lock_ = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t to_work_ = PTHREAD_COND_INITIALIZER;
  pthread_cond_t to_pop_ = PTHREAD_COND_INITIALIZER;
  std::vector<pthread_t> threads_;
};

// Commits batches on a thread of its own, one after the other: a batch is
// handed over once the one before it is committed, so that one batch
// commits while the next fills.
class batch_committer {
 public:
  struct batch {
    virtual ~batch() = default;
    virtual void commit() = 0;
  };

  batch_committer() = default;
  batch_committer(const batch_committer&) = delete;
  batch_committer& operator=(const batch_committer&) = delete;
  ~batch_committer() { finish(); }

  // False when no thread could be started: the caller commits itself.
  bool start();
  // Takes b, once the batch before it is committed.
  void hand_over(std::unique_ptr<batch> b);
  // Waits for the last batch, and for the thread to end.
  void finish();

 private:
  static void* run(void* self);
  void loop();

  pthread_t thread_{};
  pthread_mutex_t lock_ = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t cond_ = PTHREAD_COND_INITIALIZER;
  std::unique_ptr<batch> work_;  // the batch handed over
  bool quit_ = false;
  bool running_ = false;
};

}  // namespace morek
