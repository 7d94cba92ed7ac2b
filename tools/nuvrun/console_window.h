// What stands in for the main window on a console: the controller's notifications and the
// installers' messages (over the window socket) become lines on standard output, and the end of
// each download is there to wait for.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "platform/os/window_socket.h"
#include "session/nuv_task.h"

class ConsoleWindow : public NuvNotifyHandler {
 public:
  explicit ConsoleWindow(std::FILE* out) : out_(out) {}
  ~ConsoleWindow() override;

  // Listens as the window with this title; false when no handle could be bound.
  bool Open(const std::string& title);
  uint32_t Handle() const { return listener_ ? listener_->Handle() : 0; }

  void OnFinished(NuvTask& task, int32_t code) override;
  void OnDownloadProgress(int64_t total, int64_t downloaded, int32_t taskCount,
                          int32_t reporting) override;
  void OnInstall(NuvTask& task, int32_t code) override;

  // Forgets that the task's download ended (before it is started again).
  void Rearm(int32_t taskId);
  // Waits until every id in ids has ended its download; false at the limit.
  bool WaitDownloads(const std::set<int32_t>& ids, std::chrono::seconds limit);

  void Say(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  void OnWindowFrame(const nuv::os::WindowFrame& frame);

  std::FILE* out_;
  std::unique_ptr<nuv::os::WindowSocketListener> listener_;
  std::mutex lock_;  // guards ended_, lastPercent_ and the output
  std::condition_variable changed_;
  std::set<int32_t> ended_;
  int lastPercent_ = -1;
};
