#include "ui/retry_budget.h"

#include <utility>

std::optional<int> RetryBudget::TryTake(int32_t taskId,
                                        const std::function<void()>& alsoUnderLock) {
  // The test and the count are one step: two failures at once cannot both take the last retry.
  std::lock_guard<std::mutex> hold(lock_);
  if (used_ >= kMaxRetries) return std::nullopt;
  restartIds_.push_back(taskId);
  if (alsoUnderLock) alsoUnderLock();
  return ++used_;
}

std::vector<int32_t> RetryBudget::TakeAll() {
  std::lock_guard<std::mutex> hold(lock_);
  return std::exchange(restartIds_, {});
}

int RetryBudget::Used() const {
  std::lock_guard<std::mutex> hold(lock_);
  return used_;
}
