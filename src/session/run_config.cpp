#include <cstdio>
#include <optional>

#include "log/simple_log.h"
#include "platform/os/files.h"
#include "platform/os/process.h"
#include "session/config_number.h"
#include "session/nuv_mgr.h"
#include "xml/utf.h"
#include "xml/xml_document.h"

namespace {

constexpr const char16_t* kRunConfigDeclaration = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// Written beside the target as a new file of ours and renamed over it, so an interrupted write
// never leaves a cut-off file in place of the previous run configuration.
bool ReplaceFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  if (!nuv::os::WriteFileWithMode(temporary, bytes, 0644)) {
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

void NuvMgr::ReadRunConfig() {
  if (runConfigPath.empty()) return;
  NUV_LOG(3, "[INFO] ReadRunConfig");

  // Only a regular file is read: a folder, a FIFO or a link in its place keeps the defaults.
  const std::string path = WideToUtf8(runConfigPath);
  const std::optional<std::string> bytes = nuv::os::ReadFile(path, /*followLinks=*/false);
  if (!bytes) {
    if (nuv::os::PathExists(path))
      NUV_LOG(2, "[WARN] ReadRunConfig, file=[%s] is not a readable file.", path.c_str());
    return;
  }
  XmlDocument doc;
  if (!doc.LoadText(Utf8ToWide(*bytes)) || !doc.NextElement(u"config")) return;

  std::lock_guard<std::mutex> hold(runConfigLock);
  doc.ChildText(u"Status", Status);
  doc.ChildText(u"JoinExp", JoinExp);
  doc.ChildText(u"SelectLang", SelectLang);
  doc.ChildText(u"InstallPath", InstallPath);
  doc.ChildText(u"AgreeExtInstall", AgreeExtInstall);
  doc.ChildText(u"TmpPackagePath", TmpPackagePath);
  resumeDownload = DecimalValue(Status) == 1;
}

void NuvMgr::WriteRunConfig() {
  if (forkMode || runConfigPath.empty()) return;
  NUV_LOG(3, "[INFO] WriteRunConfig");

  std::lock_guard<std::mutex> hold(runConfigLock);
  XmlDocument doc;
  doc.LoadText(kRunConfigDeclaration);  // no root yet, so this reports "not well formed"
  doc.AddElement(u"config", u"");
  doc.Descend();
  doc.AddElement(u"Status", Status);
  doc.AddElement(u"JoinExp", JoinExp);
  doc.AddElement(u"SelectLang", SelectLang);
  doc.AddElement(u"InstallPath", InstallPath);
  doc.AddElement(u"AgreeExtInstall", AgreeExtInstall);
  doc.AddElement(u"TmpPackagePath", TmpPackagePath);
  doc.Ascend();
  // A failed write is not reported: the next write tries again, and a missing file only means
  // that the run starts afresh.
  ReplaceFile(WideToUtf8(runConfigPath), WideToUtf8(doc.DocumentText()));
}

void NuvMgr::DeleteRunConfig() {
  std::lock_guard<std::mutex> hold(runConfigLock);
  resumeDownload = false;
  if (forkMode || runConfigPath.empty()) return;
  std::remove(WideToUtf8(runConfigPath).c_str());
}
