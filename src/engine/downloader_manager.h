// The engine's front object: queues requests on its command thread and turns downloaders'
// notification records into callback calls (or posts them to a window).
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "engine/downloader_interfaces.h"
#include "engine/task_manager.h"
#include "engine/task_operator.h"

namespace ns_NUK {

// Posts one record to a window of the toolkit's loop; false when it could not be posted.
using WindowPoster = std::function<bool(NotifyWindowHandle window, int message, intptr_t tag,
                                        DownloadNotification*)>;

class DownloaderManager : public IDownloaderManager, public IObserver {
 public:
  DownloaderManager();
  // Shutdown must have been called: the command thread may not outlive the manager.
  ~DownloaderManager() override;

  bool PauseTask(int taskId) override;
  bool ResumeTask(int taskId) override;
  int32_t AddTask(const char16_t* url, const std::u16string& folder, const std::u16string& reserved,
                  int32_t taskId, const std::u16string& exeVersion, const std::u16string& md5,
                  int32_t reservedValue) override;
  bool RemoveTask(int taskId) override;
  bool GetTaskInfo(int taskId, TaskInfo* info) override;
  bool RemoveTaskIfPresent(int taskId) override;
  bool Shutdown() override;
  void SetNotifyWindow(NotifyWindowHandle window, int message) override;
  void SetCallBack(IDownloaderManagerCallBack* callback) override;
  std::u16string GetDescription() override { return {}; }
  int GetTaskCount() override;
  bool RemoveAllTasks() override;

  void Notify(DownloadNotification* n, int tag) override;
  void SetWindowPoster(WindowPoster poster);

 private:
  void Deliver(IDownloaderManagerCallBack* cb, const DownloadNotification& n);

  std::unique_ptr<CTaskOperator> operator_;
  std::unique_ptr<CMultiTaskManager> manager_;
  std::mutex modeLock_;  // callback, window, message and poster
  IDownloaderManagerCallBack* callback_ = nullptr;
  NotifyWindowHandle window_ = 0;
  int message_ = 0;
  WindowPoster poster_;
};

}  // namespace ns_NUK
