#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "analytics/common_properties.h"
#include "analytics/report_data_store.h"
#include "engine/host_table.h"
#include "platform/folder_utils.h"
#include "platform/registry.h"
#include "session/config_folder.h"
#include "session/config_number.h"
#include "session/install_root.h"
#include "session/nuv_mgr.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

// The engine names a partial package after its target with this suffix.
constexpr std::u16string_view kPartialSuffix = u".~P2S";

std::u16string DependentMd5List(const std::u16string& md5, const std::u16string& history) {
  if (md5.empty() || history.empty()) return md5 + history;
  return md5 + u"," + history;
}

// Size of the regular file at path, not following a symbolic link; -1 when there is none.
int64_t RegularFileSize(const std::u16string& path) {
  struct stat st {};
  if (path.empty() || lstat(WideToUtf8(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool EndsWith(const std::u16string& text, std::u16string_view suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

void NuvMgr::PrepareDown() {
  NUV_LOG(3, "[INFO] PrepareDown");
  // Never fails: without the server's values the local ones apply.
  LoadServerXml();

  retention.QueryRetentionStrategy(static_cast<int>(DecimalValue(ProductID)),
                                   WideToUtf8(server.version),
                                   WideToUtf8(platform::GetOrCreateClientSign(ProductBrand)),
                                   WideToUtf8(DownloaderVersion(false)));

  // The .NET values and the pages, languages and install time are read through the Effective*
  // accessors, which compute them from the now fixed server record.
  if (!CheckDotnet()) AddDotnetTask();

  BuildProductAndDepentTask();

  const uint32_t pid = static_cast<uint32_t>(DecimalValue(ProductID));
  std::u16string version;
  bool installed = platform::GetInstalledVersion(ProductBrand, pid, version);
  if (!installed) {
    version = platform::GetUninstallVersion(ProductID);
    installed = !version.empty();
  }
  if (installed) {
    NUV_LOG(3, "[INFO] pid=[%d] already install version=[%s].", static_cast<int>(pid),
            WideToUtf8(version).c_str());
    isFirstInstall = false;
    GetReportDataStore().SetFirstInstall(false);
  }
}

void NuvMgr::BuildProductAndDepentTask() {
  // A 64-bit package only when every piece has one; an effective URL that is empty (the local
  // one demanded but not configured) is no package at all.
  bool x64 = platform::IsWow64() && !EffectiveMainPackage(true).url.empty();
  for (const DependentItem& item : dependents)
    if (item.Url_Downx64.empty()) x64 = false;
  const char* bits = x64 ? "64" : "32";
  NUV_LOG(3, "[INFO] BuildProductAndDepentTask, bit=[%s] package.", bits);
  analytics::CommonProperties& props = analytics::GetCommonProperties();
  props.SetText("downpackagebits", bits);

  std::u16string x86Folder;
  std::u16string nativeFolder;
  platform::GetProgramFilesFolders(x86Folder, nativeFolder);
  installRoot = x64 ? nativeFolder : x86Folder;
  const std::u16string defaultRoot =
      DefaultInstallRoot(EffectiveCustomInstallPath(), ProductBrand, ProductID);
  if (!defaultRoot.empty()) installRoot = defaultRoot;

  int64_t startup = DecimalValue(StartupProduct);
  if (startup == 0) {
    StartupProduct = ProductID;
    startup = DecimalValue(StartupProduct);
  }
  props.SetNumber("startupproduct", startup);

  auto main = std::make_unique<NuvTask>();
  main->id = static_cast<int32_t>(DecimalValue(ProductID));
  main->type = kTaskProduct;
  main->startupProduct = main->id == startup;
  const MainPackageSource source = EffectiveMainPackage(x64);
  if (source.local)
    NUV_LOG(3, "[INFO] BuildProductAndDepentTask, use local %s down url.", x64 ? "x64" : "x86");
  main->url = source.url;
  main->historyMd5 = source.history;
  if (!x64) main->serverSize = DecimalValue(server.filesize);

  packageSize = main->url.empty() ? 0 : ns_NUK::ProbeContentLength(main->url, {});
  NUV_LOG(3, "[INFO] query package size=[%llu] by domain_url.",
          static_cast<unsigned long long>(packageSize));

  bool folderMoved = false;
  if (packageSize == 0) {
    NUV_LOG(3, "[INFO] save the package on the max free disk.");
    configFolder = ChooseDefaultConfigFolder(ProductBrand);
    folderMoved = true;
  }

  bool folderKept = false;
  if (resumeDownload) {
    std::u16string partial;
    {
      std::lock_guard<std::mutex> hold(runConfigLock);
      partial = TmpPackagePath;
    }
    // The path comes from a file on disk; only a partial package of ours is ever deleted.
    const int64_t partialSize = EndsWith(partial, kPartialSuffix) ? RegularFileSize(partial) : -1;
    if (partialSize >= 0 && partialSize < packageSize) {
      NUV_LOG(3, "[INFO] delete old temp package.");
      unlink(WideToUtf8(partial).c_str());
    } else if (partialSize >= 0) {
      folderKept = true;
    }
  }
  if (!folderKept && !folderMoved) UpdateSaveFolder();

  main->SetMd5List(source.md5 + u"," + main->historyMd5);
  main->folder = configFolder;
  main->expectedVersion = server.version;
  main->productName = ProductName;
  main->productExe = ProductExe;
  main->productArg = ProductArg;
  main->installArg = ProductInstallArg;
  main->compatLayer = ProductInsCmple;
  main->sceneCode = SceneCode;
  if (!forkMode) tasks.push_back(std::move(main));

  for (const DependentItem& item : dependents) {
    const int32_t id = static_cast<int32_t>(DecimalValue(item.ProductID));
    if (id == kCompanionTaskId && platform::IsCompanionInstalled()) {
      NUV_LOG(3, "[INFO] already install mhb.");
      continue;
    }
    const bool byFork = item.ForkInstall == u"1";
    if (byFork) dependentByFork = true;
    if (byFork != forkMode) continue;

    auto task = std::make_unique<NuvTask>();
    task->id = id;
    task->type = kTaskDependent;
    task->url = x64 ? item.Url_Downx64 : item.Url_Down;
    task->historyMd5 = x64 ? item.history_md5_64 : item.history_md5_32;
    task->SetMd5List(DependentMd5List(x64 ? item.md5_64 : item.md5, task->historyMd5));
    task->forceInstall = item.MustInstall();
    task->serverSize = DecimalValue(item.filesize);
    task->folder = configFolder;
    task->productName = item.ProductName;
    task->productExe = item.ProductExe;
    task->productArg = item.ProductArg;
    task->installArg = item.ProductInstallArg;
    task->compatLayer = item.ProductInsCmple;
    task->startupProduct = id == startup;
    tasks.push_back(std::move(task));
  }
}
