// The session controller of a run: the product configuration, the run configuration and the
// values the start-up hands over. The task list, the engine front object and its callbacks join
// this class later; the configuration side is complete here.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "session/dependent_item.h"
#include "session/server_config.h"
#include "session/task_install_table.h"

class XmlDocument;

class NuvMgr {
 public:
  NuvMgr();
  NuvMgr(const NuvMgr&) = delete;
  NuvMgr& operator=(const NuvMgr&) = delete;

  // Reads the product configuration (resource "XML" 106) into the members below, derives the
  // configuration folder, the run-configuration path and the installation root, publishes the
  // API base URL and the channel record. False (and nothing published) when the resource is
  // missing or empty, is not XML or has no Product root.
  bool LoadLocalXml();

  // The run configuration file: read at start-up (missing or malformed keeps the defaults),
  // written in interactive mode only, deleted when the run needs no resuming.
  void ReadRunConfig();
  void WriteRunConfig();
  void DeleteRunConfig();

  // --- Product configuration, one member per element; filled on the UI thread at start-up and
  // only read afterwards (the server's overrides land in a record of their own).
  std::u16string ProductSkin;
  std::u16string ProductBrand;
  std::u16string ProductName;
  std::u16string ProductExe;
  std::u16string ProductArg;
  std::u16string FoldBottom;
  std::u16string ProductInstallArg;
  std::u16string ProductInsCmple;
  std::u16string CustomInstallPath;
  std::u16string IsAllowInstallAdminPath;
  std::u16string ServerHost;  // always ends in '/'
  std::u16string ProductID;
  std::u16string AppID;
  std::u16string Channel;
  std::u16string DownurlOnlyUseLocalUrl;
  std::u16string DownurlUrlDown;
  std::u16string DownurlX64OnlyUseLocalUrl;  // read only on a 64-bit system
  std::u16string DownurlX64UrlDown;          // read only on a 64-bit system
  std::u16string InstallTime;
  std::u16string InstallurlOnlyUseLocalUrl;
  std::u16string InstallurlUrlInstall;
  std::u16string Url_License;
  std::u16string UserAgreementUrl;
  std::u16string PrivacyAgreementUrl;
  std::u16string Languages;
  std::u16string Dotnetminver;
  std::u16string Dotneturl;
  std::u16string AgreeUserLicense;
  std::u16string StartupProduct;
  std::u16string Url_Jump;
  std::u16string InstallErrorUrl;
  std::u16string InstallSalvageTitle;
  std::u16string InstallSalvageContent;
  std::u16string NotSupportWin32;
  std::u16string SceneCode;
  std::u16string ClipboardAccess;
  std::u16string ClipboardKeyword;

  // Accepted dependent products, in document order. The server's bind items are merged in by
  // the planning step before any download thread exists.
  std::vector<DependentItem> dependents;

  // --- Derived values.
  std::u16string configFolder;   // ends in '/'
  std::u16string runConfigPath;  // configFolder + "NUV_DOWNTASK_" + ProductID + ".xml"
  // Default parent of the installation folder; the user's choice goes to InstallPath.
  std::u16string installRoot;
  std::u16string clipboardText;

  // --- Server runtime configuration: filled once by LoadServerXml before any download thread
  // exists, only read afterwards.
  ServerRecord server;
  std::u16string visitorId;  // empty until fetched

  // Fetches the runtime configuration into `server`, merges its bind items into `dependents`
  // (and the install table), publishes its analytics values and fetches the visitor id. Always
  // true: on any failure the record stays empty and the local values apply.
  bool LoadServerXml();

  // Effective values: the server's when not empty, else the local one.
  std::u16string EffectiveProductName() const;
  // .NET minimum version and installer URL, both from one side; both empty when none is needed.
  std::pair<std::u16string, std::u16string> EffectiveDotnet() const;
  // The server page only when the local OnlyUseLocalUrl of Installurl is exactly "0".
  std::u16string EffectiveThankYouUrl() const;
  std::u16string EffectiveBannerUrl() const;
  std::u16string EffectiveLicenseUrl() const;
  std::u16string EffectiveLanguages() const;
  int EffectiveInstallSeconds() const;  // 120..600, else 240
  std::u16string EffectiveUserAgreementUrl() const;
  std::u16string EffectivePrivacyUrl() const;
  std::u16string EffectiveInstallErrorUrl() const;
  std::u16string EffectiveJumpUrls() const;
  std::u16string EffectiveCustomInstallPath() const;
  std::u16string EffectiveAllowAdminPath() const;
  std::u16string EffectiveNotSupportWin32() const;
  // The main package of that width: the server's URL and digests unless its URL is empty or the
  // local group's OnlyUseLocalUrl is "1", then the local URL without digests.
  MainPackageSource EffectiveMainPackage(bool x64) const;

  // --- Run configuration. Written by the window's threads and, for TmpPackagePath, by the
  // engine's callback thread once downloads run: change them under runConfigLock, and release it
  // before calling the three operations above (they take it themselves).
  std::u16string Status = u"0";
  std::u16string JoinExp;
  std::u16string SelectLang;  // in fork mode the host's language
  std::u16string InstallPath;
  std::u16string AgreeExtInstall = u"1";
  std::u16string TmpPackagePath;
  std::mutex runConfigLock;     // guards the six members above and the file
  bool resumeDownload = false;  // "Status" read at start-up was 1

  // --- Start-up values (UI thread, before other threads exist).
  bool forkMode = false;
  std::u16string hostVersion;  // fork mode: the host instance's version
  int64_t hostHwnd = 0;        // fork mode: the host's main window, 0 when not given
  uint32_t mainWnd = 0;        // our main window, set once it exists

  // Per-task install data of the install-information report; guarded by its own lock because
  // the engine's download threads write it.
  TaskInstallTable installTable;

  // (The task list, the window's notification handler and the engine front object come here.)

 private:
  void ReadProductValues(XmlDocument& doc);
  void ReadDependents(XmlDocument& doc);
  void ReadClipboardKeyword(XmlDocument& doc);
};

// The one controller of the process.
NuvMgr& GetNuvMgr();
