#include "console_session.h"

#include <chrono>
#include <cstdio>
#include <set>
#include <vector>

#include "analytics/report_data_store.h"
#include "console_window.h"
#include "session/nuv_mgr.h"
#include "xml/utf.h"

namespace {

// Generous: a package of a few hundred MiB over a slow line, with every engine attempt.
constexpr std::chrono::seconds kDownloadLimit{1800};

std::set<int32_t> TaskIds(const NuvMgr& mgr, int32_t type) {
  std::set<int32_t> ids;
  for (const auto& task : mgr.tasks)
    if (task->type == type) ids.insert(task->id);
  return ids;
}

// Starts the type's downloads and retries each failed one until it succeeds or its retries are
// spent. A dependent that need not be installed is not retried.
void DownloadType(NuvMgr& mgr, ConsoleWindow& window, int32_t type, int retries) {
  const std::set<int32_t> ids = TaskIds(mgr, type);
  if (ids.empty()) return;
  mgr.StartDownTask(type);
  for (int round = 0;; ++round) {
    if (!window.WaitDownloads(ids, kDownloadLimit)) {
      window.Say("   downloads did not end in time\n");
      return;
    }
    std::vector<NuvTask*> again;
    for (int32_t id : ids) {
      NuvTask* task = mgr.FindTask(id);
      if (task->downloadState == kStateFailed && task->forceInstall && round < retries)
        again.push_back(task);
    }
    if (again.empty()) return;
    for (NuvTask* task : again) {
      window.Say("   downloading %s again\n", WideToUtf8(task->productName).c_str());
      ++task->downloadRetries;
      window.Rearm(task->id);
      mgr.RestartTask(task->id);
    }
  }
}

// Installs the type's packages; a failed installation downloads its package again when the
// package was not verified, then installs once more.
bool InstallType(NuvMgr& mgr, ConsoleWindow& window, int32_t type, int retries) {
  if (TaskIds(mgr, type).empty()) return true;
  for (int round = 0;; ++round) {
    const auto [done, count] = mgr.InstallTask(type);
    window.Say("== installed type %d: %s (%d package(s))\n", type, done ? "done" : "not done",
               count);
    if (done || round >= retries) return done;
    for (const auto& task : mgr.tasks) {
      if (task->type != type || task->installState != kStateFailed) continue;
      ++task->installRetries;
      window.Rearm(task->id);
      const bool verified = mgr.Md5Matched(task->id);
      mgr.RestartTask(task->id);
      if (!verified) window.WaitDownloads({task->id}, kDownloadLimit);
    }
  }
}

}  // namespace

int RunConsoleSession(NuvMgr& mgr, const ConsoleOptions& options) {
  ConsoleWindow window(stdout);
  if (!window.Open(WideToUtf8(mgr.ProductName))) {
    std::fprintf(stderr, "no window handle could be bound\n");
    return 1;
  }
  mgr.mainWnd = window.Handle();
  mgr.notifyHandler = &window;
  if (!mgr.forkMode) {
    {
      std::lock_guard<std::mutex> hold(mgr.runConfigLock);
      mgr.InstallPath = options.installFolder;
      mgr.SelectLang = options.language;
    }
    mgr.WriteRunConfig();
  }

  window.Say("== planning (runtime configuration from %s)\n", WideToUtf8(mgr.ServerHost).c_str());
  mgr.PrepareDown();
  mgr.BuildInstallPara(mgr.forkMode ? mgr.SelectLang : options.language);
  for (const auto& task : mgr.tasks)
    window.Say("   task %d type %d: %s from %s into %s\n", task->id, task->type,
               WideToUtf8(task->productName).c_str(), WideToUtf8(task->url).c_str(),
               WideToUtf8(task->installFolder).c_str());

  window.Say("== downloading\n");
  GetReportDataStore().SetDownloadStarted(true);
  for (int32_t type : {kTaskDotnet, kTaskDependent, kTaskProduct})
    DownloadType(mgr, window, type, options.retries);
  mgr.WriteRunConfig();

  bool installed = true;
  for (int32_t type : {kTaskDotnet, kTaskDependent, kTaskProduct})
    installed = InstallType(mgr, window, type, options.retries) && installed;

  if (installed && !mgr.forkMode) {
    window.Say("== starting the product: %s\n", mgr.StartProduct() ? "started" : "not started");
    window.Say("== follow-up pages: %s\n",
               mgr.OpenFollowUpPages() ? "thank-you page opened" : "no thank-you page");
  }
  if (mgr.SessionSummary()) GetReportDataStore().SendTrackReport();
  if (installed && !mgr.forkMode) mgr.DeleteRunConfig();
  mgr.notifyHandler = nullptr;
  window.Say("== run %s\n", installed ? "complete" : "failed");
  return installed ? 0 : 1;
}
