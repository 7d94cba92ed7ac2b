// nuvget's view of one task: every notification to the log, a progress line on stderr, and a
// wait for the end.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "engine/downloader_interfaces.h"
#include "failure_reason.h"

class NuvgetCallback : public ns_NUK::IDownloaderManagerCallBack {
 public:
  explicit NuvgetCallback(FILE* progressOut) : out_(progressOut) {}
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

  // Blocks until the task ended; its result code.
  int WaitResult();
  // What the notifications told about a failure (read after WaitResult).
  FailureFacts Facts();

 private:
  void Finish(int code);

  FILE* out_;
  std::mutex lock_;  // result_, facts_ and the progress line
  FailureFacts facts_;
  std::condition_variable done_;
  int result_ = -1;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};
