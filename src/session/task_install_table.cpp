#include "session/task_install_table.h"

void TaskInstallTable::Update(int32_t taskId, const std::function<void(TaskInstallInfo&)>& change) {
  std::lock_guard<std::mutex> hold(lock_);
  change(entries_[taskId]);
}

std::optional<TaskInstallInfo> TaskInstallTable::Get(int32_t taskId) const {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = entries_.find(taskId);
  if (it == entries_.end()) return std::nullopt;
  return it->second;
}

std::map<int32_t, TaskInstallInfo> TaskInstallTable::Snapshot() const {
  std::lock_guard<std::mutex> hold(lock_);
  return entries_;
}
