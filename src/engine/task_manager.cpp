#include "engine/task_manager.h"

#include <curl/curl.h>

#include <new>

#include "engine/multi_downloader.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace ns_NUK {

CMultiTaskManager::CMultiTaskManager() {
  curl_global_init(CURL_GLOBAL_ALL);
}

CMultiTaskManager::~CMultiTaskManager() {
  RemoveAllTasks();
  curl_global_cleanup();
}

int CMultiTaskManager::GetTaskCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return static_cast<int>(tasks_.size());
}

int CMultiTaskManager::AddTask(const std::u16string& url, const std::u16string& folder,
                               const std::u16string& /*reserved*/, int taskId,
                               const std::u16string& exeVersion, const std::u16string& md5,
                               int /*value*/) {
  RemoveTask(taskId);
  std::lock_guard<std::mutex> guard(lock_);
  auto* d = new (std::nothrow) CMultiDownloader;
  if (!d) return -1;
  tasks_[taskId] = d;
  d->SetObserver(observer_);
  d->SetServerMd5(WideToUtf8(md5));
  const std::string version = WideToUtf8(exeVersion);
  NUV_LOG(3, "[INFO] multi, set exe version=[%s].", version.c_str());
  d->SetExeVersion(version);
  d->Start(taskId, WideToUtf8(url), WideToUtf8(folder));
  return taskId;
}

bool CMultiTaskManager::PauseTask(int taskId) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = tasks_.find(taskId);
  if (it == tasks_.end()) return false;
  it->second->SetNotificationsOn(false);
  it->second->CancelAll();
  return true;
}

bool CMultiTaskManager::ResumeTask(int taskId) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = tasks_.find(taskId);
  if (it == tasks_.end()) return false;
  it->second->ResumeAll();
  return true;
}

bool CMultiTaskManager::RemoveTask(int taskId) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = tasks_.find(taskId);
  if (it == tasks_.end()) return false;
  it->second->CancelAll();
  delete it->second;
  tasks_.erase(it);
  return true;
}

bool CMultiTaskManager::RemoveAllTasks() {
  std::lock_guard<std::mutex> guard(lock_);
  for (auto& [id, d] : tasks_) {
    d->CancelAll();
    delete d;
  }
  tasks_.clear();
  return true;
}

bool CMultiTaskManager::HasTask(int taskId) {
  std::lock_guard<std::mutex> guard(lock_);
  if (taskId == -1) return !tasks_.empty();
  return tasks_.count(taskId) != 0;
}

bool CMultiTaskManager::GetTaskProgress(int taskId, int64_t* total, int64_t* downloaded,
                                        int64_t* attempts, int* elapsedSeconds) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = tasks_.find(taskId);
  if (it == tasks_.end()) return false;
  it->second->GetProgress(total, downloaded, attempts, elapsedSeconds);
  return true;
}

void CMultiTaskManager::GetTaskStrings(int taskId, std::u16string* url, std::u16string* folder,
                                       std::u16string* fileName) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = tasks_.find(taskId);
  if (it == tasks_.end()) return;
  it->second->GetStrings(url, folder, fileName);
}

}  // namespace ns_NUK
