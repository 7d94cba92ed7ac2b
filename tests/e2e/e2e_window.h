// The window's side of a run without the window: the NuvNotifyHandler with the window's retry
// policy (eight retries shared by every failure, then the failed page), and the window socket that
// the installers report their progress and texts to.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/os/window_socket.h"
#include "session/nuv_task.h"

class TestWindow : public NuvNotifyHandler {
 public:
  static constexpr int kRetryBudget = 8;

  struct Event {
    int32_t taskId = 0;
    int32_t code = 0;
  };

  TestWindow();
  ~TestWindow() override;

  bool Start() { return listener_.Start(); }
  uint32_t Handle() const { return listener_.Handle(); }

  void OnFinished(NuvTask& task, int32_t code) override;
  void OnDownloadProgress(int64_t total, int64_t downloaded, int32_t taskCount,
                          int32_t reporting) override;
  void OnInstall(NuvTask& task, int32_t code) override;

  // Runs on the install thread inside OnInstall, before the retry is queued.
  void SetInstallHook(std::function<void(NuvTask&, int32_t)> hook);

  // The install watcher's side: the ids to restart (the list is emptied).
  std::vector<int32_t> TakeRetries();
  bool FailedPage() const;
  // A counter of notifications; WaitForNews returns once it differs from seen or at the limit.
  uint64_t News() const;
  void WaitForNews(uint64_t seen, std::chrono::milliseconds limit) const;

  std::vector<Event> Finished() const;
  std::vector<Event> Installs() const;
  int RetryCount() const;
  int ProgressCalls() const;
  std::vector<uint64_t> InstallerPercents() const;
  std::vector<std::u16string> CopyTexts() const;

 private:
  void Retry(NuvTask& task, bool install);
  void Bump();

  mutable std::mutex lock_;  // guards everything below and, as the window's retry lock, the list
  mutable std::condition_variable changed_;
  std::vector<int32_t> retryTaskIds_;
  int retryCount_ = 0;
  bool failedPage_ = false;
  uint64_t news_ = 0;
  std::vector<Event> finished_;
  std::vector<Event> installs_;
  int progressCalls_ = 0;
  std::vector<uint64_t> percents_;
  std::vector<std::u16string> copyTexts_;
  std::function<void(NuvTask&, int32_t)> installHook_;
  nuv::os::WindowSocketListener listener_;
};
