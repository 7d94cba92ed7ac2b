// The hidden instance of this program that installs the dependents marked for it, started once
// every package of the run is on disk.
#include <string>

#include "platform/os/folders.h"
#include "platform/process_launch.h"
#include "session/nuv_mgr.h"
#include "log/simple_log.h"
#include "xml/utf.h"

bool NuvMgr::ForkInstallDependent() {
  if (forkMode || !dependentByFork) return false;
  std::u16string language;
  {
    std::lock_guard<std::mutex> hold(runConfigLock);
    if (AgreeExtInstall.empty()) return false;
    language = SelectLang;
  }
  std::u16string hostVersion;
  for (const auto& task : tasks) {
    if (task->type != kTaskProduct) continue;
    hostVersion = task->PackageVersion();
    break;
  }
  const std::u16string commandLine = u"\"" + Utf8ToWide(nuv::os::ModulePath()) +
                                     u"\" OnlyForkInstallDependent=1 HostLang=" + language +
                                     u" HostVersion=" + hostVersion + u" HostHwnd=" +
                                     Utf8ToWide(std::to_string(mainWnd));
  NUV_LOG(3, "[INFO] Fork install dependent: \n %s", WideToUtf8(commandLine).c_str());
  return platform::StartProcess(commandLine, true);
}
