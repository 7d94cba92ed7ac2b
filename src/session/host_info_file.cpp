// The file that tells the companion application's setup, run by the fork instance, which host
// product and downloader started it.
#include <cjson/cJSON.h>

#include <ctime>
#include <string>

#include "platform/os/folders.h"
#include "platform/os/process.h"
#include "service/json_reply.h"
#include "session/nuv_mgr.h"
#include "session/server_config.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

std::string LocalTimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
  return text;
}

}  // namespace

std::u16string NuvMgr::WriteHostInfoFile() {
  const std::string path = nuv::os::TempFolder() + "nuv_fork_mhb_" + LocalTimeStamp() + ".txt";
  std::u16string language;
  {
    std::lock_guard<std::mutex> hold(runConfigLock);
    language = SelectLang;
  }
  // Built by the JSON library so that a quote or backslash in a value (the host's version and
  // language come from the command line) cannot break the document.
  JsonPtr info(cJSON_CreateObject());
  cJSON_AddStringToObject(info.get(), "product_id", WideToUtf8(ProductID).c_str());
  cJSON_AddStringToObject(info.get(), "prodcutver", WideToUtf8(hostVersion).c_str());
  cJSON_AddStringToObject(info.get(), "nuvversion", WideToUtf8(DownloaderVersion(true)).c_str());
  cJSON_AddStringToObject(info.get(), "selectlang", WideToUtf8(language).c_str());
  const std::string text = PrintCompact(info.get());

  NUV_LOG(3, "[INFO] host info path=[%s]", path.c_str());
  NUV_LOG(3, "[INFO] host info=[%s]", text.c_str());
  if (!nuv::os::WriteFileWithMode(path, WideToUtf16LeBytes(Utf8ToWide(text)), 0644)) return {};
  return Utf8ToWide(path);
}
