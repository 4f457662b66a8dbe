// The job runner: jobs come back in the order they went in, whatever order
// they finish in, and no more of them hold a file's text at once than there
// are workers, and one more, the caller's.
#include "jobs.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "test_support.hpp"

using namespace morek;

namespace {

std::atomic<int> holding{0};  // jobs whose text is made and not given up
std::atomic<int> most_holding{0};

struct counted_job : job_runner::job {
  std::size_t index = 0;
  bool holds = false;
  int delay_us = 0;
  bool ran = false;
  bool run() override {
    const int now = ++holding;
    for (int seen = most_holding.load(); now > seen && !most_holding.compare_exchange_weak(seen, now);) {
    }
    if (delay_us > 0) std::this_thread::sleep_for(std::chrono::microseconds(delay_us));
    ran = true;
    if (!holds) --holding;
    return holds;
  }
};

TEST(JobRunner, HandsBackInOrderWithinItsBounds) {
  // A runner that waits for itself ends the tests, rather than holding them.
  std::atomic<bool> finished{false};
  std::thread watchdog([&] {
    for (int k = 0; k < 1200 && !finished; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!finished) {
      std::fputs("the job runner stopped making progress\n", stderr);
      std::abort();
    }
  });
  rng r{0x0dde12ULL};
  for (const unsigned workers : {1u, 2u, 4u}) {
    for (const std::size_t window : {std::size_t{1}, std::size_t{3}, std::size_t{64}}) {
      for (const int pattern : {0, 1, 2}) {  // none holds, every one, some
        holding = 0;
        most_holding = 0;
        std::size_t next = 0;  // the index the next popped job must have
        auto take = [&](std::unique_ptr<job_runner::job> j) {
          auto* c = static_cast<counted_job*>(j.get());
          ASSERT_TRUE(c->ran);
          ASSERT_EQ(c->index, next) << workers << " workers, window " << window;
          ++next;
          if (c->holds) --holding;
        };
        {
          job_runner jobs(workers, window);
          for (std::size_t k = 0; k < 600; ++k) {
            auto j = std::make_unique<counted_job>();
            j->index = k;
            j->holds = pattern == 1 || (pattern == 2 && r.below(3) == 0);
            j->delay_us = r.below(4) == 0 ? r.below(300) : 0;
            jobs.push(std::move(j));
            while (auto done = jobs.pop(jobs.full())) take(std::move(done));
          }
          while (auto done = jobs.pop(true)) take(std::move(done));
        }
        EXPECT_EQ(next, 600u);
        EXPECT_LE(most_holding.load(), static_cast<int>(workers) + 1)
            << workers << " workers, window " << window << ", pattern " << pattern;
      }
    }
  }
  finished = true;
  watchdog.join();
}

}  // namespace
