// What the install-information report keeps per task: written at configuration time and by the
// engine's callbacks on the download threads, read by the report; one lock guards it all.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

struct TaskInstallInfo {
  bool forceInstall = true;
  std::u16string md5List;         // accepted digests, comma-separated
  std::u16string packageVersion;  // file version of the downloaded package
  int32_t failureCode = 0;
  int64_t downloadStart = 0, downloadEnd = 0;
  int64_t installStart = 0, installEnd = 0;
};

class TaskInstallTable {
 public:
  // Runs change on the entry of that task (created with the defaults when new) under the lock.
  void Update(int32_t taskId, const std::function<void(TaskInstallInfo&)>& change);
  std::optional<TaskInstallInfo> Get(int32_t taskId) const;
  std::map<int32_t, TaskInstallInfo> Snapshot() const;

 private:
  mutable std::mutex lock_;  // guards entries_
  std::map<int32_t, TaskInstallInfo> entries_;
};
