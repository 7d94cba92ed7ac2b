#include "engine/task_operator.h"

#include "log/simple_log.h"

namespace ns_NUK {

CTaskOperator::~CTaskOperator() {
  StopWorker();
}

bool CTaskOperator::StartWorker(ITaskManager* manager) {
  if (!manager || manager_) return false;
  manager_ = manager;
  worker_ = std::thread(&CTaskOperator::Run, this);
  return true;
}

bool CTaskOperator::QueueAdd(const std::u16string& url, const std::u16string& folder,
                             const std::u16string& reserved, int pid,
                             const std::u16string& exeVersion, const std::u16string& md5,
                             int value) {
  TaskCommand c;
  c.pid = pid;
  c.type = kCommandAdd;
  c.value = value;
  c.url = url;
  c.folder = folder;
  c.reserved = reserved;
  c.md5 = md5;
  c.exeVersion = exeVersion;
  Queue(std::move(c));
  return true;
}

bool CTaskOperator::QueueCommand(int type, int taskId) {
  TaskCommand c;
  c.type = type;
  c.taskId = taskId;
  Queue(std::move(c));
  return true;
}

void CTaskOperator::Queue(TaskCommand command) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.push_back(std::move(command));
  }
  wake_.notify_one();
}

void CTaskOperator::StopWorker() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    stop_.store(true);
  }
  wake_.notify_all();
  worker_.join();
}

void CTaskOperator::Run() {
  for (;;) {
    TaskCommand c;
    {
      std::unique_lock<std::mutex> guard(lock_);
      wake_.wait(guard, [this] { return !queue_.empty() || stop_.load(); });
      if (!manager_ || stop_.load()) return;
      if (queue_.empty()) continue;
      c = std::move(queue_.front());
      queue_.pop_front();
    }
    NUV_LOG(3, "[INFO] handle type=[%d], pid=[%d], taskid=[%d]", c.type, c.pid, c.taskId);
    switch (c.type) {
      case kCommandAdd:
        manager_->AddTask(c.url, c.folder, c.reserved, c.pid, c.exeVersion, c.md5, c.value);
        break;
      case kCommandRemove:
        manager_->RemoveTask(c.taskId);
        break;
      case kCommandPause:
        manager_->PauseTask(c.taskId);
        break;
      case kCommandResume:
        manager_->ResumeTask(c.taskId);
        break;
      case kCommandRemoveAll:
        manager_->RemoveAllTasks();
        break;
      default:
        break;
    }
  }
}

}  // namespace ns_NUK
