// The run's summary in the analytics values, published when the run ends or crashes.
#include <algorithm>
#include <string>

#include "analytics/report_data_store.h"
#include "session/nuv_mgr.h"
#include "session/session_clock.h"
#include "session/task_track.h"

namespace {

// Earliest positive start and latest end of one phase over all tasks.
struct Span {
  int64_t start = 0;
  int64_t end = 0;
  void Add(int64_t taskStart, int64_t taskEnd) {
    if (taskStart > 0 && (start == 0 || taskStart < start)) start = taskStart;
    end = std::max(end, taskEnd);
  }
  // Whole seconds; an unfinished phase ends now.
  int64_t Seconds(int64_t now) const {
    if (start <= 0) return 0;
    return SpanSeconds(start, end == 0 ? now : end);
  }
};

void PublishTask(ReportDataStore& store, const NuvTask& task) {
  store.SetReportValue("packagesize", std::to_string(task.total.load()));
  store.SetReportTime("downstart", task.downloadStart);
  store.SetReportTime("downend", task.downloadEnd);
  store.SetReportTime("installstart", task.installStart);
  store.SetReportTime("installend", task.installEnd);
  store.SetReportNumber("downstatus", task.downloadState);
  store.SetReportNumber("downcode", task.downloadCode);
  store.SetReportNumber("installstatus", task.installState);
  store.SetReportNumber("installcode", task.installCode);
  store.SetReportValue("downspeed", std::to_string(task.speed.load()));
  store.SetReportValue("prodcutver", task.PackageVersion());
  store.SetReportValue("xmlprodcutver", task.expectedVersion);
}

void PublishDotnet(ReportDataStore& store, const NuvTask& task) {
  store.SetReportNumber("dotnetdownstate", task.downloadState);
  store.SetReportNumber("dotnetinstallstate", task.installState);
  store.SetReportNumber("dotnetdowncode", task.downloadCode);
  store.SetReportNumber("dotnetinstallcode", task.installCode);
}

}  // namespace

bool NuvMgr::SessionSummary() {
  ReportDataStore& store = GetReportDataStore();
  Span download;
  Span install;
  int64_t downloadedBytes = 0;
  for (const auto& task : tasks) {
    if (task->type == kTaskProduct || (forkMode && task->type == kTaskDependent))
      PublishTask(store, *task);
    if (task->type == kTaskDotnet && task->id == kDotnetTaskId) PublishDotnet(store, *task);
    if (!forkMode && task->type == kTaskDependent) {
      const int64_t ds = task->downloadStart, de = task->downloadEnd;
      const int64_t is = task->installStart, ie = task->installEnd;
      installTable.Update(task->id, [&](TaskInstallInfo& info) {
        info.downloadStart = ds;
        info.downloadEnd = de;
        info.installStart = is;
        info.installEnd = ie;
      });
    }
    download.Add(task->downloadStart, task->downloadEnd);
    install.Add(task->installStart, task->installEnd);
    downloadedBytes += task->downloaded;
  }
  const int64_t now = NowSeconds();
  const int64_t downTime = download.Seconds(now);
  store.SetReportValue("downtime", std::to_string(downTime));
  store.SetReportValue("installtime", std::to_string(install.Seconds(now)));
  store.SetReportValue("downspeed", std::to_string(downTime > 0 ? downloadedBytes / downTime : 0));
  return !tasks.empty();
}
