#include "engine/downloader_manager.h"

#include <cstring>

#include "log/simple_log.h"

namespace ns_NUK {

DownloaderManager::DownloaderManager()
    : operator_(std::make_unique<CTaskOperator>()),
      manager_(std::make_unique<CMultiTaskManager>()) {
  manager_->SetObserver(this);
  operator_->StartWorker(manager_.get());
}

DownloaderManager::~DownloaderManager() {
  if (operator_) operator_->StopWorker();
  operator_.reset();
  manager_.reset();
}

bool DownloaderManager::PauseTask(int taskId) {
  return operator_ && operator_->QueueCommand(kCommandPause, taskId);
}

bool DownloaderManager::ResumeTask(int taskId) {
  return operator_ && operator_->QueueCommand(kCommandResume, taskId);
}

int32_t DownloaderManager::AddTask(const char16_t* url, const std::u16string& folder,
                                   const std::u16string& reserved, int32_t taskId,
                                   const std::u16string& exeVersion, const std::u16string& md5,
                                   int32_t reservedValue) {
  if (!operator_ || !url) {
    NUV_LOG(1, "[ERROR] add task failed, operator=[%d], url=[%d], pid=[%d].",
            static_cast<int>(reinterpret_cast<intptr_t>(operator_.get())),
            static_cast<int>(reinterpret_cast<intptr_t>(url)), taskId);
    return -1;
  }
  operator_->QueueAdd(url, folder, reserved, taskId, exeVersion, md5, reservedValue);
  return taskId;
}

bool DownloaderManager::RemoveTask(int taskId) {
  return operator_ && operator_->QueueCommand(kCommandRemove, taskId);
}

bool DownloaderManager::GetTaskInfo(int taskId, TaskInfo* info) {
  if (!info || !manager_) return false;
  int64_t total = 0, downloaded = 0, attempts = 0;
  int elapsed = 0;
  if (!manager_->GetTaskProgress(taskId, &total, &downloaded, &attempts, &elapsed)) return false;
  info->taskId = taskId;
  if (total <= 0 || downloaded < 0) {
    info->total = -1;
    info->downloaded = -1;
    return true;
  }
  info->total = total;
  info->downloaded = downloaded;
  info->rate = elapsed < 1000 ? 0 : static_cast<int32_t>(attempts / elapsed / 1000);
  manager_->GetTaskStrings(taskId, &info->url, &info->folder, &info->fileName);
  return true;
}

bool DownloaderManager::RemoveTaskIfPresent(int taskId) {
  if (!manager_ || !manager_->HasTask(taskId)) return false;
  return RemoveTask(taskId);
}

bool DownloaderManager::Shutdown() {
  RemoveAllTasks();
  if (operator_) operator_->StopWorker();
  return true;
}

void DownloaderManager::SetNotifyWindow(NotifyWindowHandle window, int message) {
  std::lock_guard<std::mutex> guard(modeLock_);
  window_ = window;
  message_ = message;
  callback_ = nullptr;
}

void DownloaderManager::SetCallBack(IDownloaderManagerCallBack* callback) {
  std::lock_guard<std::mutex> guard(modeLock_);
  callback_ = callback;
  window_ = 0;
  message_ = 0;
}

void DownloaderManager::SetWindowPoster(WindowPoster poster) {
  std::lock_guard<std::mutex> guard(modeLock_);
  poster_ = std::move(poster);
}

int DownloaderManager::GetTaskCount() {
  return manager_ ? manager_->GetTaskCount() : 0;
}

bool DownloaderManager::RemoveAllTasks() {
  if (!manager_ || !operator_ || !manager_->HasTask(-1)) return false;
  return operator_->QueueCommand(kCommandRemoveAll, 0);
}

void DownloaderManager::Notify(DownloadNotification* n, int tag) {
  if (!n) return;
  IDownloaderManagerCallBack* cb = nullptr;
  NotifyWindowHandle window = 0;
  int message = 0;
  WindowPoster poster;
  {
    std::lock_guard<std::mutex> guard(modeLock_);
    cb = callback_;
    window = window_;
    message = message_;
    if (window && message) poster = poster_;
  }
  if (window && message) {
    // A posted record belongs to the window from now on.
    if (poster && poster(window, message, tag, n)) return;
    FreeNotification(n);
    return;
  }
  if (cb) Deliver(cb, *n);
  FreeNotification(n);
}

void DownloaderManager::Deliver(IDownloaderManagerCallBack* cb, const DownloadNotification& n) {
  const int id = n.taskId;
  const auto i32 = [&n] { return *reinterpret_cast<const int32_t*>(n.payload); };
  const auto text = [&n] { return std::string(reinterpret_cast<const char*>(n.payload)); };
  switch (n.type) {
    case kNotifyFileName:
      cb->OnFileName(id, *reinterpret_cast<const std::u16string*>(n.payload));
      break;
    case kNotifyFileSize:
      cb->OnFileSize(id, static_cast<int64_t>(n.payload));
      break;
    case kNotifyFinished: {
      const int code = i32();
      NUV_LOG(3, "[INFO] finished, task_id=[%d], result=[%d]", id, code);
      if (code == 0)
        cb->OnSucceeded(id);
      else
        cb->OnFailed(id, code);
      break;
    }
    case kNotifyProgress: {
      const auto* p = reinterpret_cast<const ProgressPayload*>(n.payload);
      cb->OnProgress(id, p->downloaded, p->total, p->speed);
      break;
    }
    case kNotifyRangeStarted:
      cb->OnRangeInfo(id, -1, 0, static_cast<int64_t>(n.payload));
      break;
    case kNotifyRangeKind1:
    case kNotifyRangeKind2:
      cb->OnRangeInfo(id, -1, n.type == kNotifyRangeKind1 ? 1 : 2, static_cast<int32_t>(n.payload));
      break;
    case kNotifyStarted:
      cb->OnStarted(id);
      break;
    case kNotifyConnectionIp:
      cb->OnConnectionIp(id, text());
      break;
    case kNotifyAttemptStarted:
      cb->OnAttemptStarted(id, i32());
      break;
    case kNotifyAttemptFinished:
      cb->OnAttemptFinished(id, n.extra1, n.extra2);
      break;
    case kNotifyFileMd5:
      cb->OnFileMd5(id, text());
      break;
    case kNotifyMd5Matched:
      cb->OnMd5Matched(id);
      break;
    case kNotifyPackageFileError:
      cb->OnPackageFileError(id, n.extra1, n.extra2);
      break;
    case kNotifyPackageInfoFailed:
      cb->OnPackageInfoFailed(id, i32());
      break;
    case kNotifyDnsCacheCleared:
      cb->OnDnsCacheCleared(id, i32());
      break;
    case kNotifyDnsQueried: {
      const std::string t = text();
      const size_t colon = t.find(':');
      if (colon == std::string::npos) break;
      cb->OnDnsQueried(id, t.substr(0, colon), t.substr(colon + 1));
      break;
    }
    case kNotifyPrepare:
      cb->OnPrepare(id);
      break;
    case kNotifyDownloadParams:
      cb->OnDownloadParams(id, n.extra1, n.extra2);
      break;
    default:
      break;
  }
}

}  // namespace ns_NUK
