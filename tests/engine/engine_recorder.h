// Test helpers: a callback that records the engine's notifications as short texts, and waits.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/downloader_interfaces.h"

namespace enginetest {

// Milestones as texts: "prep", "start", "name", "size", "params", "try:N", "end:N:R", "md5",
// "match", "ferr:K", "info:E", "dns", "ok", "fail:R". Progress, range and address reports are
// counted, not listed.
class Recorder : public ns_NUK::IDownloaderManagerCallBack {
 public:
  void OnFileName(int32_t id, const std::u16string& fileName) override;
  void OnFileSize(int id, int64_t size) override;
  void OnProgress(int id, int64_t downloaded, int64_t total, int speed) override;
  void OnSucceeded(int id) override;
  void OnFailed(int id, int resultCode) override;
  void OnRangeInfo(int id, int reserved, int kind, int64_t value) override;
  void OnStarted(int id) override;
  void OnConnectionIp(int32_t id, const std::string& ip) override;
  void OnAttemptStarted(int id, int attempt) override;
  void OnAttemptFinished(int id, int attempt, int resultCode) override;
  void OnFileMd5(int32_t id, const std::string& md5) override;
  void OnMd5Matched(int id) override;
  void OnPackageFileError(int id, int kind, int error) override;
  void OnPackageInfoFailed(int id, int error) override;
  void OnDnsCacheCleared(int id, int resultCode) override;
  void OnDnsQueried(int32_t id, const std::string& host, const std::string& ips) override;
  void OnPrepare(int id) override;
  void OnDownloadParams(int id, int connections, int bufferSize) override;

  // Waits until the task reported its end; false at the deadline.
  bool WaitFinished(int id, std::chrono::milliseconds timeout);
  // Waits until the task's milestones, joined with ' ', contain `text`.
  bool WaitEvents(int id, const std::string& text, std::chrono::milliseconds timeout);
  // Waits until the task's downloaded count reached `bytes`.
  bool WaitDownloaded(int id, int64_t bytes, std::chrono::milliseconds timeout);
  std::vector<std::string> Events(int id);
  std::string Joined(int id);  // events joined with ' '
  int Result(int id);          // -1 while not finished
  int64_t Size(int id);
  std::string Md5(int id);
  int64_t LastDownloaded(int id);
  int ProgressCount(int id);

 private:
  struct Task {
    std::vector<std::string> events;
    int result = -1;
    int64_t size = 0;
    std::string md5;
    int64_t downloaded = 0;
    int progress = 0;
  };
  void Add(int id, const std::string& event);
  void Finish(int id, int result, const std::string& event);

  std::mutex lock_;  // tasks_
  std::condition_variable changed_;
  std::map<int, Task> tasks_;
};

// The attempt milestones of n attempts that all end with `code` ("params try:i [md5] end:i:code").
std::string Attempts(int first, int count, int code, bool md5Reported = false);

}  // namespace enginetest
