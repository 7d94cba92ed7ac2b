// The installer command line of every planned package: the folder it installs to, where it logs,
// which window hears its progress and the switches its product expects.
#include <cstdio>
#include <string>

#include "analytics/common_properties.h"
#include "analytics/report_data_store.h"
#include "platform/os/folders.h"
#include "session/nuv_mgr.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

std::u16string Decimal(int32_t value) {
  return Utf8ToWide(std::to_string(value));
}

std::u16string HexHandle(uint32_t handle) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", handle);
  return Utf8ToWide(text);
}

std::u16string Quoted(const std::u16string& text) {
  return u"\"" + text + u"\"";
}

// The window hands over the folder with a trailing separator; a folder without one would glue
// the brand onto its last name.
std::u16string WithTrailingSeparator(std::u16string folder) {
  if (!folder.empty() && folder.back() != u'/') folder += u'/';
  return folder;
}

std::u16string InstallerLogPath(const std::u16string& tempFolder, int32_t id) {
  return tempFolder + u"NUV-" + Decimal(id) + u".log";
}

}  // namespace

void NuvMgr::BuildInstallPara(const std::u16string& language) {
  std::u16string chosen;
  {
    std::lock_guard<std::mutex> hold(runConfigLock);
    chosen = WithTrailingSeparator(InstallPath);
  }
  const std::u16string brandFolder = chosen + ProductBrand + u"/";
  const std::u16string productFolder = brandFolder + ProductName + u"/";
  std::u16string startupFolder;
  for (const auto& task : tasks)
    if (task->type == kTaskDependent && task->startupProduct)
      startupFolder = brandFolder + task->productName + u"/";
  const std::u16string tempFolder = Utf8ToWide(nuv::os::TempFolder());
  const std::u16string window = HexHandle(mainWnd);
  const std::u16string head = u"/VERYSILENT /NOPAGE /LANG=" + language;

  for (const auto& p : tasks) {
    NuvTask& task = *p;
    const std::u16string id = Decimal(task.id);
    if (task.type == kTaskDotnet) {
      NUV_LOG(3, "[INFO] BuildInstallPara, common.");
      task.installCommandLine = u"/VERYSILENT /NOPAGE ";
      task.installFolder.clear();
      continue;
    }

    if (task.type == kTaskDependent) {
      NUV_LOG(3, "[INFO] BuildInstallPara dependent startup=[%d].", task.startupProduct ? 1 : 0);
      std::u16string line = head + u" /LOG=" + Quoted(InstallerLogPath(tempFolder, task.id)) +
                            u" /NUVWIN=" + window + u" /PID=" + id;
      if (task.startupProduct) {
        task.installFolder = startupFolder;
        task.productPath = task.installFolder + task.productExe;
        line += u" /installpath: " + Quoted(task.installFolder) + u" /DIR=" +
                Quoted(task.installFolder);
      }
      if (!task.installArg.empty()) {
        NUV_LOG(3, "[INFO] BuildInstallPara dependent arg.");
        analytics::GetCommonProperties().Set("token", task.installArg);
        line += u" /TOKEN_PRODUCTINSTALL_ARG=" + task.installArg;
      }
      if (forkMode && task.id == kCompanionTaskId) {
        line += u" /NOTRUN";
        // Without the file the companion starts with nothing to read, which it tolerates.
        const std::u16string hostInfo = WriteHostInfoFile();
        if (!hostInfo.empty()) line += u" /HOSTINFOPATH=" + Quoted(hostInfo);
      }
      task.installCommandLine = line;
      continue;
    }

    NUV_LOG(3, "[INFO] BuildInstallPara, product startup=[%d].", task.startupProduct ? 1 : 0);
    // A startup product that the plan does not hold leaves no startup folder; the product's own
    // folder is then the only sound place.
    task.installFolder =
        task.startupProduct || startupFolder.empty() ? productFolder : startupFolder;
    const std::u16string logPath = InstallerLogPath(tempFolder, task.id);
    GetReportDataStore().SetInstallerLogPath(logPath);
    task.productPath = task.installFolder + task.productExe;
    std::u16string line = head + u" /LOG=" + Quoted(logPath) + u" /installpath: " +
                          Quoted(task.installFolder) + u" /DIR=" + Quoted(task.installFolder) +
                          u" /NUVWIN=" + window + u" /PID=" + id;
    if (!task.sceneCode.empty()) line += u" /SCENE_CODE=" + task.sceneCode;
    if (!task.installArg.empty()) {
      NUV_LOG(3, "[INFO] BuildInstallPara product arg.");
      analytics::GetCommonProperties().Set("token", task.installArg);
      line += u" /TOKEN_PRODUCTINSTALL_ARG=" + task.installArg;
    }
    if (task.id == kCompanionTaskId) line += u" /NOTRUN";
    if (!clipboardText.empty()) line += u" " + clipboardText;
    task.installCommandLine = line;
  }
}
