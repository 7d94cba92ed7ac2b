// The window's download operations (start, restart) and the controller's small shared records:
// the error counts behind the one-report-per-failure rule, the digest results, the diagnostic
// entries and the automatic error report.
#include <string>

#include "analytics/report_data_store.h"
#include "platform/os/files.h"
#include "service/log_reporter.h"
#include "session/nuv_mgr.h"
#include "log/simple_log.h"
#include "xml/utf.h"

void NuvMgr::StartDownTask(int32_t type) {
  if (!downloader) {
    NUV_LOG(1, "[ERROR] function interface is null.");
    return;
  }
  for (const auto& task : tasks) {
    if (task->type != type) continue;
    const std::u16string md5List = task->Md5List();
    NUV_LOG(3, "[INFO] NuvMgr StartDownTask: %d, %s, %s, %s", task->id,
            WideToUtf8(task->folder).c_str(), WideToUtf8(task->expectedVersion).c_str(),
            WideToUtf8(md5List).c_str());
    downloader->AddTask(task->url.c_str(), task->folder, u"0", task->id, task->expectedVersion,
                        md5List, 0);
    std::lock_guard<std::mutex> hold(countsLock_);
    ++urlStartCounts_[task->url];
  }
  std::lock_guard<std::mutex> hold(runConfigLock);
  Status = u"1";
}

void NuvMgr::RestartTask(int32_t taskId) {
  if (!downloader) return;
  NuvTask* task = FindTask(taskId);
  if (!task) return;
  if (Md5Matched(taskId) && nuv::os::PathExists(WideToUtf8(task->SavePath()))) {
    // The verified package is still there: only its installation runs again.
    task->installState = kStateNone;
    return;
  }
  task->total = 0;
  task->downloaded = 0;
  task->speed = 0;
  task->downloadStart = 0;
  task->downloadEnd = 0;
  task->attemptStart = 0;
  task->attemptEnd = 0;
  task->downloadState = kStateNone;
  task->downloadCode = 0;
  task->installStart = 0;
  task->installEnd = 0;
  task->installState = kStateNone;
  task->installCode = 0;
  task->connections = 0;
  task->bufferSize = 0;
  // The task keeps its digests and its force-install flag: a package that failed its check must
  // not be run (as root) on the next try, and an optional dependent stays optional.
  {
    std::lock_guard<std::mutex> hold(tablesLock_);
    md5Matched_.erase(taskId);
  }
  downloader->AddTask(task->url.c_str(), task->folder, u"0", taskId, task->expectedVersion,
                      task->Md5List(), 0);
}

bool NuvMgr::Md5Matched(int32_t taskId) const {
  std::lock_guard<std::mutex> hold(tablesLock_);
  return md5Matched_.count(taskId) != 0;
}

bool NuvMgr::CountError(int32_t key) {
  std::lock_guard<std::mutex> hold(tablesLock_);
  auto [entry, first] = errorCounts_.emplace(key, 1);
  if (!first) ++entry->second;
  return first;
}

void NuvMgr::AddDiagnostic(const std::string& key, const std::string& value, bool quoted) {
  GetReportDataStore().AddRemark(key, value, quoted);
}

bool NuvMgr::AutoReportErrorLog(bool includeInstallerLog, const std::string& remark) {
  ErrorReportContext context;
  context.productId = WideToUtf8(ProductID);
  context.productVersion = WideToUtf8(server.version);
  context.installerLogPath = GetReportDataStore().InstallerLogPath();
  return ::AutoReportErrorLog(context, includeInstallerLog, remark);
}
