// Running the downloaded installers of one task type and recording how each run went.
#include <string>

#include "analytics/usage_tracker.h"
#include "log/simple_log.h"
#include "platform/os/files.h"
#include "platform/process_launch.h"
#include "platform/registry.h"
#include "session/nuv_mgr.h"
#include "session/session_clock.h"
#include "session/task_track.h"
#include "xml/utf.h"

namespace {

// The code of a package that is not run: the one of an installer that could not be started.
constexpr int kRefusedPackageCode = -1;

// The .NET installer may end non-zero after doing its work (a reboot pending, say); after two
// retries its result no longer holds the run back.
bool ForgivenDotnetFailure(const NuvTask& task) {
  return task.id == kDotnetTaskId && task.installRetries.load() > 1;
}

// An optional dependent never holds the run back, whichever step failed.
bool CountsAsDone(const NuvTask& task) {
  if (task.installState.load() == kStateSucceeded) return true;
  if (task.type != kTaskDependent || task.forceInstall.load()) return false;
  return task.downloadState.load() == kStateFailed || task.installState.load() == kStateFailed;
}

void TrackDownloadFinished(const NuvTask& task, bool resumed) {
  analytics::DownloadRecord record;
  record.type = TaskTypeName(task.type);
  record.state = "finish";
  record.times = task.downloadRetries.load() + 1;
  record.resumedown = resumed ? 1 : 0;
  record.domain = UrlHostPart(task.url);
  record.duration = SpanSeconds(task.downloadStart.load(), task.downloadEnd.load());
  record.speed = BytesPerSecond(task.total.load(), record.duration);
  record.thread = task.connections.load();
  record.buffer = task.bufferSize.load();
  analytics::GetUsageTracker().TrackDownload(record);
}

}  // namespace

std::pair<bool, int> NuvMgr::InstallTask(int32_t type) {
  int count = 0;
  int done = 0;
  for (const auto& p : tasks) {
    NuvTask& task = *p;
    if (task.type != type) continue;
    ++count;
    if (task.downloadState.load() != kStateSucceeded || task.installState.load() != kStateNone) {
      if (CountsAsDone(task)) ++done;
      continue;
    }
    NUV_LOG(3, "[INFO] NuvMgr InstallTask pid: %d", task.id);

    const std::string typeName = TaskTypeName(task.type);
    if (task.installRetries.load() == 0) {
      TrackDownloadFinished(task, resumeDownload);
      analytics::GetUsageTracker().TrackInstall(typeName, "begin", 1, 0, 0, 0);
    }

    task.installStart = NowSeconds();
    task.installState = kStateRunning;
    const std::u16string savePath = task.SavePath();
    int exitCode = kRefusedPackageCode;
    if (const std::string refusal = PackageRunRefusal(task); !refusal.empty()) {
      // Not run as root: it takes the path of an installer that could not be started.
      NUV_LOG(1, "[ERROR] NuvMgr InstallTask refused pid: %d, %s", task.id, refusal.c_str());
      AddDiagnostic("install_refused_" + std::to_string(task.id), refusal, true);
    } else {
      if (!task.compatLayer.empty()) platform::SetCompatibilityLayer(task.compatLayer, savePath);
      // A downloaded package arrives without execute bits.
      platform::MakeExecutable(savePath);
      exitCode = platform::RunExe(savePath, task.installCommandLine, false);
    }
    task.installCode = exitCode;
    NUV_LOG(3, "[INFO] NuvMgr InstallTask res: %d", exitCode);
    task.installEnd = NowSeconds();

    int reported = exitCode;
    if (exitCode == 0) {
      task.installState = kStateSucceeded;
    } else {
      AddDiagnostic("install_err_" + std::to_string(task.id), std::to_string(exitCode), false);
      if (ForgivenDotnetFailure(task)) {
        task.installState = kStateSucceeded;
        reported = 0;
      } else {
        task.installState = kStateFailed;
        // A verified package is worth keeping for the retry; anything else is fetched again.
        if (!Md5Matched(task.id)) nuv::os::RemoveFile(WideToUtf8(savePath));
      }
    }

    if (task.installState.load() == kStateSucceeded) {
      const int64_t seconds = SpanSeconds(task.installStart.load(), task.installEnd.load());
      analytics::GetUsageTracker().TrackInstall(typeName, "finish", task.installRetries.load() + 1,
                                                BytesPerSecond(task.total.load(), seconds), seconds,
                                                reported);
    } else if (CountError(reported + 2000)) {
      AutoReportErrorLog(true, "install err=" + std::to_string(reported));
    }

    if (CountsAsDone(task)) ++done;
    NUV_LOG(3, "[INFO] NuvMgr InstallTask: %d, %d, %d, %d, %d", done, task.type,
            task.forceInstall.load() ? 1 : 0, task.downloadState.load(), task.installState.load());
    if (NuvNotifyHandler* handler = notifyHandler.load()) handler->OnInstall(task, reported);
  }
  return {done == count, count};
}
