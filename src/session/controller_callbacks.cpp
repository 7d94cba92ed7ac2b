// The engine's notifications, on the task's own download thread: task state, analytics values
// and diagnostic entries, and the window told through its handler.
#include <string>

#include "analytics/common_properties.h"
#include "analytics/report_data_store.h"
#include "analytics/usage_tracker.h"
#include "platform/version_text.h"
#include "session/nuv_mgr.h"
#include "session/session_clock.h"
#include "session/task_track.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

std::string KeyFor(const char* prefix, int taskId) {
  return prefix + std::to_string(taskId);
}

// A notification for an id the plan does not hold is dropped with a warning.
NuvTask* KnownTask(NuvMgr& mgr, int taskId) {
  NuvTask* task = mgr.FindTask(taskId);
  if (!task) NUV_LOG(2, "[WARN] notification for unknown task, task_id=[%d].", taskId);
  return task;
}

}  // namespace

void NuvMgr::OnFileName(int32_t taskId, const std::u16string& fileName) {
  NuvTask* task = KnownTask(*this, taskId);
  if (!task) return;
  task->SetFileName(fileName);
  const std::u16string savePath = task->folder + fileName;
  task->SetSavePath(savePath);
  if (task->type != kTaskProduct) return;
  {
    std::lock_guard<std::mutex> hold(runConfigLock);
    TmpPackagePath = savePath + u".~P2S";
  }
  WriteRunConfig();
}

void NuvMgr::OnFileSize(int taskId, int64_t size) {
  NuvTask* task = KnownTask(*this, taskId);
  if (!task) return;
  task->total = size;
}

void NuvMgr::OnProgress(int taskId, int64_t downloaded, int64_t total, int speed) {
  NuvTask* task = KnownTask(*this, taskId);
  if (!task) return;
  task->downloaded = downloaded;
  task->total = total;
  task->speed = speed;
  ReportProgress();
}

NuvMgr::ProgressSums NuvMgr::ReportProgress() {
  ProgressSums sums;
  for (const auto& task : tasks) {
    const int64_t total = task->total;
    const int64_t downloaded = task->downloaded;
    sums.total += total;
    sums.downloaded += downloaded;
    if (downloaded > 0 && total > 0) ++sums.reporting;
  }
  if (NuvNotifyHandler* handler = notifyHandler.load())
    handler->OnDownloadProgress(sums.total, sums.downloaded, static_cast<int32_t>(tasks.size()),
                                sums.reporting);
  return sums;
}

void NuvMgr::OnSucceeded(int taskId) {
  NuvTask* task = KnownTask(*this, taskId);
  if (!task) return;
  task->downloaded = task->total.load();
  task->downloadState = kStateSucceeded;
  task->downloadEnd = NowSeconds();
  if (NuvNotifyHandler* handler = notifyHandler.load()) handler->OnFinished(*task, 0);
  std::u16string version;
  platform::GetFileVersionText(task->SavePath(), version);
  task->SetPackageVersion(version);
  if (task->type == kTaskDependent)
    installTable.Update(taskId, [&](TaskInstallInfo& info) { info.packageVersion = version; });
  const ProgressSums sums = ReportProgress();
  if (sums.total == sums.downloaded && AllDownloadsEnded() && !forkStarted_.exchange(true))
    ForkInstallDependent();
}

bool NuvMgr::AllDownloadsEnded() const {
  for (const auto& task : tasks) {
    const int32_t state = task->downloadState;
    if (state != kStateSucceeded && state != kStateFailed) return false;
  }
  return true;
}

void NuvMgr::OnFailed(int taskId, int resultCode) {
  NuvTask* task = KnownTask(*this, taskId);
  if (!task) return;
  task->downloadState = kStateFailed;
  task->downloadCode = resultCode;
  task->downloadEnd = NowSeconds();
  int32_t reported = resultCode;
  if (task->type != kTaskDependent || task->forceInstall) {
    if (CountError(resultCode + 1000))
      AutoReportErrorLog(false, "download err=" + std::to_string(resultCode));
  } else {
    // A dependent that need not be installed is never a failure the window has to handle.
    installTable.Update(taskId, [&](TaskInstallInfo& info) { info.failureCode = resultCode; });
    reported = 0;
  }
  if (NuvNotifyHandler* handler = notifyHandler.load()) handler->OnFinished(*task, reported);
}

void NuvMgr::OnRangeInfo(int, int, int, int64_t) {}

void NuvMgr::OnStarted(int taskId) {
  NuvTask* task = KnownTask(*this, taskId);
  if (!task) return;
  task->downloadState = kStateRunning;
  task->downloadStart = NowSeconds();
}

void NuvMgr::OnConnectionIp(int32_t, const std::string& ip) {
  std::lock_guard<std::mutex> hold(countsLock_);
  ++connectionCounts_[ip];
}

void NuvMgr::OnAttemptStarted(int taskId, int attempt) {
  NuvTask* task = KnownTask(*this, taskId);
  if (!task) return;
  analytics::GetCommonProperties().SetNumber("retrytips", attempt);
  int64_t none = 0;
  firstRetryTime.compare_exchange_strong(none, NowSeconds());
  task->attemptStart = NowSeconds();
  task->attempt = attempt;
}

void NuvMgr::OnAttemptFinished(int taskId, int, int) {
  NuvTask* task = KnownTask(*this, taskId);
  if (!task) return;
  task->attemptEnd = NowSeconds();
}

void NuvMgr::OnFileMd5(int32_t taskId, const std::string& md5) {
  analytics::GetCommonProperties().SetText("downpackagemd5", md5);
  AddDiagnostic(KeyFor("filemd5_", taskId), md5, true);
}

void NuvMgr::OnMd5Matched(int taskId) {
  AddDiagnostic(KeyFor("matchmd5_", taskId), "1", false);
  std::lock_guard<std::mutex> hold(tablesLock_);
  md5Matched_[taskId] = 1;
}

void NuvMgr::OnPackageFileError(int taskId, int kind, int error) {
  AddDiagnostic(KeyFor("pkg_opt_failed_", taskId),
                std::to_string(kind) + "-" + std::to_string(error), true);
}

void NuvMgr::OnPackageInfoFailed(int taskId, int error) {
  NUV_LOG(3, "[INFO] get pkg info failed! task_id=[%d], err=[%d].", taskId, error);
  AddDiagnostic(KeyFor("get_pkg_info_failed_", taskId), std::to_string(error), false);
}

void NuvMgr::OnDnsCacheCleared(int taskId, int resultCode) {
  NUV_LOG(3, "[INFO] clear dns cache, task_id=[%d], err=[%d].", taskId, resultCode);
  AddDiagnostic(KeyFor("clear_dns_cache_", taskId), std::to_string(resultCode), false);
}

void NuvMgr::OnDnsQueried(int32_t, const std::string& host, const std::string& ips) {
  NUV_LOG(3, "[INFO] query dns, domain=[%s], ips=[%s].", host.c_str(), ips.c_str());
  analytics::GetUsageTracker().TrackDns(host, ips);
}

void NuvMgr::OnPrepare(int taskId) {
  NUV_LOG(3, "[INFO] prepare download, task_id=[%d].", taskId);
  NuvTask* task = KnownTask(*this, taskId);
  if (!task) return;
  if (task->downloadRetries != 0 || task->downloadState != kStateNone) return;
  analytics::DownloadRecord record;
  record.type = TaskTypeName(task->type);
  record.state = "begin";
  record.times = 1;
  record.resumedown = resumeDownload ? 1 : 0;
  record.domain = UrlHostPart(task->url);
  analytics::GetUsageTracker().TrackDownload(record);
}

void NuvMgr::OnDownloadParams(int taskId, int connections, int bufferSize) {
  NUV_LOG(3, "[INFO] download, task_id=[%d], thread=[%d], buffer=[%d].", taskId, connections,
          bufferSize);
  NuvTask* task = KnownTask(*this, taskId);
  if (!task) return;
  task->connections = connections;
  task->bufferSize = bufferSize;
}
