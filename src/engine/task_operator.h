// The engine's command queue: callers queue commands and return; one worker thread carries them
// out on the task manager, in order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "engine/task_manager.h"

namespace ns_NUK {

enum TaskCommandType : int {
  kCommandNone = -1,
  kCommandAdd = 0,
  kCommandRemove = 1,
  kCommandPause = 2,
  kCommandResume = 3,
  kCommandRemoveAll = 4,
};

struct TaskCommand {
  int pid = 0;     // task id of an add
  int taskId = 0;  // task id of the other commands
  int type = kCommandNone;
  int value = 0;
  std::u16string url;
  std::u16string folder;
  std::u16string reserved;
  std::u16string md5;
  std::u16string exeVersion;
};

class CTaskOperator {
 public:
  CTaskOperator() = default;
  ~CTaskOperator();
  // False when the manager is null or one is already set.
  bool StartWorker(ITaskManager* manager);
  bool QueueAdd(const std::u16string& url, const std::u16string& folder,
                const std::u16string& reserved, int pid, const std::u16string& exeVersion,
                const std::u16string& md5, int value);
  bool QueueCommand(int type, int taskId);
  // Stops the worker; commands still queued are dropped.
  void StopWorker();

 private:
  void Queue(TaskCommand command);
  void Run();

  std::mutex lock_;  // the queue lock: the queue and the stop flag, never held while a command runs
  std::deque<TaskCommand> queue_;
  ITaskManager* manager_ = nullptr;
  std::thread worker_;
  std::condition_variable wake_;
  std::atomic<bool> stop_{false};
};

}  // namespace ns_NUK
