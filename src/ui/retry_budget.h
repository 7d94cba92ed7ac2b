// The session's retries: eight in total, shared by every task and by download and install
// failures, and the list of tasks whose download the install watcher restarts. Safe to use from
// the controller's notification threads and the install watcher at once.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

class RetryBudget {
 public:
  static constexpr int kMaxRetries = 8;

  // Takes one retry for the task: queues its id for a restart, runs alsoUnderLock (the task's
  // own retry counters, so that the restart sees them) and returns the retries used so far,
  // 1..8. Nothing (no change) once the budget is spent.
  std::optional<int> TryTake(int32_t taskId, const std::function<void()>& alsoUnderLock = {});
  // The ids queued for a restart, in their order; the list is empty afterwards.
  std::vector<int32_t> TakeAll();
  int Used() const;

 private:
  mutable std::mutex lock_;  // the retry lock: guards used_ together with restartIds_
  int used_ = 0;
  std::vector<int32_t> restartIds_;
};
