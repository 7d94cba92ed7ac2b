#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <memory>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

#include "ui/retry_budget.h"

namespace {

// Sessions in which failures of many tasks arrive at once on several threads while the install
// watcher (this thread) drains the restart list. A lost race is rare in one session, so there are
// many: in each, exactly eight retries are granted, each count once, each id restarted once.
TEST(RetryBudget, EightRetriesSharedByConcurrentFailures) {
  constexpr int kSessions = 300;
  constexpr int kThreads = 8;
  constexpr int kFailuresPerThread = 4;
  std::unique_ptr<RetryBudget> budget;
  int taskCounter = 0;  // touched only under the budget's lock
  std::mutex countsLock;
  std::vector<int> counts;
  std::atomic<int> threadsDone{0};
  std::barrier sync(kThreads + 1);

  std::vector<std::thread> failing;
  for (int t = 0; t < kThreads; ++t) {
    failing.emplace_back([&, t] {
      for (int session = 0; session < kSessions; ++session) {
        sync.arrive_and_wait();  // the session is set up
        for (int n = 0; n < kFailuresPerThread; ++n) {
          // Work under the lock gives the other failures time to pile up at the budget.
          const auto count = budget->TryTake(t * 100 + n, [&] {
            ++taskCounter;
            std::this_thread::yield();
          });
          if (count) {
            std::lock_guard<std::mutex> hold(countsLock);
            counts.push_back(*count);
          }
        }
        ++threadsDone;
        sync.arrive_and_wait();  // the session is over
      }
    });
  }

  std::vector<int> oneToEight(RetryBudget::kMaxRetries);
  std::iota(oneToEight.begin(), oneToEight.end(), 1);
  bool failed = false;
  for (int session = 0; session < kSessions; ++session) {
    budget = std::make_unique<RetryBudget>();
    taskCounter = 0;
    counts.clear();
    threadsDone = 0;
    std::vector<int32_t> restarted;
    sync.arrive_and_wait();
    while (threadsDone.load() < kThreads) {
      for (int32_t id : budget->TakeAll()) restarted.push_back(id);
      std::this_thread::yield();
    }
    sync.arrive_and_wait();
    if (failed) continue;  // let the threads run out their sessions
    for (int32_t id : budget->TakeAll()) restarted.push_back(id);

    std::sort(counts.begin(), counts.end());
    EXPECT_EQ(counts, oneToEight) << "session " << session;
    EXPECT_EQ(taskCounter, RetryBudget::kMaxRetries);
    EXPECT_EQ(budget->Used(), RetryBudget::kMaxRetries);
    std::sort(restarted.begin(), restarted.end());
    EXPECT_EQ(restarted.size(), size_t{RetryBudget::kMaxRetries});
    EXPECT_EQ(std::adjacent_find(restarted.begin(), restarted.end()), restarted.end());
    failed = testing::Test::HasFailure();
  }
  for (auto& f : failing) f.join();

  // Spent: a ninth failure changes nothing and runs nothing under the lock.
  EXPECT_FALSE(budget->TryTake(7, [&] { ++taskCounter; }));
  EXPECT_EQ(taskCounter, RetryBudget::kMaxRetries);
  EXPECT_TRUE(budget->TakeAll().empty());
}

}  // namespace
