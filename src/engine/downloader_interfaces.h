// The engine's contract: the front the session drives, the callback it implements, the sink a
// downloader reports to.
#pragma once

#include <cstdint>
#include <string>

#include "engine/downloader_types.h"

namespace ns_NUK {

// Notifications of the engine; every call runs on the task's own download thread.
class IDownloaderManagerCallBack {
 public:
  virtual ~IDownloaderManagerCallBack() = default;
  virtual void OnFileName(int32_t taskId, const std::u16string& fileName) = 0;
  virtual void OnFileSize(int taskId, int64_t size) = 0;
  virtual void OnProgress(int taskId, int64_t downloaded, int64_t total, int speed) = 0;
  virtual void OnSucceeded(int taskId) = 0;
  virtual void OnFailed(int taskId, int resultCode) = 0;
  virtual void OnRangeInfo(int taskId, int reserved, int kind, int64_t value) = 0;
  virtual void OnStarted(int taskId) = 0;
  virtual void OnConnectionIp(int32_t taskId, const std::string& ip) = 0;
  virtual void OnAttemptStarted(int taskId, int attempt) = 0;
  virtual void OnAttemptFinished(int taskId, int attempt, int resultCode) = 0;
  virtual void OnFileMd5(int32_t taskId, const std::string& md5) = 0;
  virtual void OnMd5Matched(int taskId) = 0;
  virtual void OnPackageFileError(int taskId, int kind, int error) = 0;
  virtual void OnPackageInfoFailed(int taskId, int error) = 0;
  virtual void OnDnsCacheCleared(int taskId, int resultCode) = 0;
  virtual void OnDnsQueried(int32_t taskId, const std::string& host, const std::string& ips) = 0;
  virtual void OnPrepare(int taskId) = 0;
  virtual void OnDownloadParams(int taskId, int connections, int bufferSize) = 0;
};

// Sink of a downloader's notification records; the receiver owns `n` (FreeNotification).
class IObserver {
 public:
  virtual ~IObserver() = default;
  virtual void Notify(DownloadNotification* n, int tag) = 0;
};

// Window mode: the toolkit's message loop posts (window, message, tag, record). Returns false when
// the record could not be posted; the engine then frees it. A posted record belongs to the window,
// which frees it with FreeNotification.
using NotifyWindowHandle = uint32_t;

class IDownloaderManager {
 public:
  virtual ~IDownloaderManager() = default;
  virtual bool PauseTask(int taskId) = 0;
  virtual bool ResumeTask(int taskId) = 0;
  virtual int32_t AddTask(const char16_t* url, const std::u16string& folder,
                          const std::u16string& reserved, int32_t taskId,
                          const std::u16string& exeVersion, const std::u16string& md5,
                          int32_t reservedValue) = 0;
  virtual bool RemoveTask(int taskId) = 0;
  virtual bool GetTaskInfo(int taskId, TaskInfo* info) = 0;
  virtual bool RemoveTaskIfPresent(int taskId) = 0;
  virtual bool Shutdown() = 0;
  virtual void SetNotifyWindow(NotifyWindowHandle window, int message) = 0;
  virtual void SetCallBack(IDownloaderManagerCallBack* callback) = 0;
  virtual std::u16string GetDescription() = 0;
  virtual int GetTaskCount() = 0;
  virtual bool RemoveAllTasks() = 0;
};

}  // namespace ns_NUK
