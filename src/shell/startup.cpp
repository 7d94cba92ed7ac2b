#include "shell/startup.h"

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "analytics/usage_tracker.h"
#include "log/log_folder.h"
#include "log/simple_log.h"
#include "platform/os/admin.h"
#include "platform/os/files.h"
#include "platform/os/folders.h"
#include "platform/os/instance_lock.h"
#include "platform/os/message_box.h"
#include "platform/process_launch.h"
#include "session/nuv_mgr.h"
#include "shell/command_line.h"
#include "shell/crash_handler.h"
#include "lang/language_table.h"
#include "log/log_folder.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

constexpr const char* kNotAdminText =
    "You must be logged in as administrator when installing this program.";

// The box of an early stop: interactive mode only, never in fork mode.
void FailureBox(bool fork, const char* text) {
  if (!fork) nuv::os::ShowErrorBox(text, "Error");
}

// Applies HostLang, HostVersion and HostHwnd, in that order.
void ApplyHostValues(const CommandLineTable& cmd, NuvMgr& mgr) {
  std::u16string lang = cmd.Value(u"HostLang");
  if (!lang.empty()) {
    mgr.SelectLang = lang;
    NUV_LOG(3, "[INFO] set select lang=[%s].", WideToUtf8(lang).c_str());
  }
  mgr.hostVersion = cmd.Value(u"HostVersion");
  std::string hwnd = WideToUtf8(cmd.Value(u"HostHwnd"));
  if (hwnd.empty()) return;
  // The host always passes its own handle in decimal; anything else is treated as absent.
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(hwnd.c_str(), &end, 10);
  if (errno != 0 || end == hwnd.c_str() || *end != '\0' || value < INT32_MIN || value > INT32_MAX) {
    NUV_LOG(2, "[WARN] ignore host hwnd=[%s].", hwnd.c_str());
    return;
  }
  mgr.hostHwnd = value;
  NUV_LOG(3, "[INFO] set host hwnd=[%x].", static_cast<unsigned>(value));
}

// Folders that were not used because someone else could change them.
void LogRefusedFolders(const LogFolderChoice& logFolder) {
  const nuv::os::TempFolderChoice temp = nuv::os::ChooseTempFolder();
  if (!temp.refused.empty())
    NUV_LOG(2, "[WARN] temp folder=[%s] refused (%s), using [%s].", temp.refused.c_str(),
            temp.why.c_str(), temp.folder.c_str());
  if (!logFolder.refused.empty())
    NUV_LOG(2, "[WARN] log folder refused (%s), using [%s].", logFolder.refused.c_str(),
            logFolder.folder.c_str());
}

}  // namespace

int RunStartup(const std::vector<std::string>& args, NuvMgr& mgr, const StartupHooks& hooks) {
  // 1. Command line and mode.
  const CommandLineTable cmd(args);
  const bool fork = cmd.IsForkMode();

  // 2. The log. It outlives this function's callers only through the process-wide pointer, which
  // is cleared again before returning so a test can run the start-up more than once.
  const LogFolderChoice logFolder = ChooseLogFolderWithReason();
  simpleLog log(logFolder.folder + (fork ? "vtForkNUV.log" : "vtNUV.log"));
  log.Init();
  SetSimpleLog(&log);
  struct LogUninstall {
    ~LogUninstall() { SetSimpleLog(nullptr); }
  } logUninstall;
  NUV_LOG(3, "[INFO] start, fork=[%d].", fork ? 1 : 0);
  LogRefusedFolders(logFolder);

  // 3. The crash handler: the dump, the crash event and, once a task list exists, the run's
  // summary in the track report.
  CrashHooks crashHooks;
  crashHooks.sessionSummary = [&mgr] { return mgr.SessionSummary(); };
  crashHooks.crashEvent = [](const CrashReport& crash) {
    analytics::UsageTracker& tracker = analytics::GetUsageTracker();
    tracker.TrackCrash(crash.address, crash.offset, crash.module, crash.section, crash.code);
    tracker.Stop();
  };
  if (hooks.installCrashHandler) InstallCrashHandler(std::move(crashHooks));

  // 4. Elevation.
  if (!nuv::os::IsAdministrator()) {
    NUV_LOG(1, "[ERROR] %s", kNotAdminText);
    FailureBox(fork, kNotAdminText);
    return -1;
  }

  // 5.-7. Mode, product configuration, run configuration.
  mgr.forkMode = fork;
  if (!mgr.LoadLocalXml()) {
    NUV_LOG(1, "[ERROR] LoadLocalXml failed!");
    FailureBox(fork, "Load product xml error.");
    return -1;
  }
  mgr.ReadRunConfig();

  // 8. The host's values override what the run configuration said.
  if (fork) ApplyHostValues(cmd, mgr);

  // 9. Language and strings.
  LanguageTable language;
  if (!language.loadLangXML(mgr.ProductBrand)) {
    NUV_LOG(1, "[ERROR] loadLangXML failed!");
    FailureBox(fork, "Load lang xml error.");
    return -1;
  }

  // 10. One interactive and one fork instance per product at a time.
  nuv::os::InstanceLock instance(WideToUtf8(mgr.ProductName) + "_nuv" + (fork ? "_fork" : ""));
  if (instance.AlreadyExisted()) {
    NUV_LOG(2, "[WARN] Already exist PreInstance.");
    if (!fork) platform::ActivateExistingWindow(mgr.ProductName);
    return -1;
  }

  // 11. COM has no counterpart here. 12.-15. The skin and the main window.
  if (hooks.openWindow && !hooks.openWindow(mgr, language)) {
    NUV_LOG(1, "[ERROR] create NuvWnd failed!");
    return -1;
  }
  // 16. The message loop.
  if (hooks.runWindow) {
    NUV_LOG(3, "[INFO] MessageLoop");
    hooks.runWindow(mgr, language);
    NUV_LOG(3, "[INFO] MessageLoop end");
  }

  // 17. Orderly end; the lock is released with `instance`.
  instance.Release();
  // The engine front object, once the controller owns one, is shut down here.
  NUV_LOG(3, "[INFO] exit!");
  return 0;
}
