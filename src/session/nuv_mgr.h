// The session controller of a run: the product configuration, the run configuration and the
// values the start-up hands over; the plan of packages, their downloads through the engine and
// their installations; the launch of the product and the follow-up pages. The window drives it
// and hears back through its NuvNotifyHandler.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/downloader_interfaces.h"
#include "service/retention_client.h"
#include "session/dependent_item.h"
#include "session/nuv_task.h"
#include "session/server_config.h"
#include "session/task_install_table.h"

class XmlDocument;

class NuvMgr : public ns_NUK::IDownloaderManagerCallBack {
 public:
  // Creates the engine's front object and makes this controller its callback receiver.
  NuvMgr();
  // Tests: the given front object (null: none, so the download operations do nothing).
  explicit NuvMgr(std::unique_ptr<ns_NUK::IDownloaderManager> downloader);
  // Removes every task from the engine and shuts it down.
  ~NuvMgr() override;
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

  // ===== Planning (a window worker thread, once, before the first download).
  // Runtime configuration, .NET task, package width, size, save folder, task list, installed copy.
  void PrepareDown();
  void BuildProductAndDepentTask();
  // Moves configFolder to the roomiest drive when its own lacks the package size; then every
  // task's folder follows it.
  void UpdateSaveFolder();
  // Whether the drive of folder has room: for the package, or (forInstall) for the installation.
  bool CheckSpace(const std::u16string& folder, bool forInstall);
  // True when the product cannot be installed on a 32-bit system.
  bool IsNotSupportX86();

  // ===== Installation (a window worker thread).
  // Fills install folder, product path and installer command line of every task.
  void BuildInstallPara(const std::u16string& language);
  // Runs the installers of the downloaded tasks of that type: (all of the type done, count).
  std::pair<bool, int> InstallTask(int32_t type);
  // True when no .NET installation is needed.
  bool CheckDotnet();
  // Appends the .NET task (id 9876, type 0).
  void AddDotnetTask();
  // Fork mode, companion application: writes the host information file; its path, empty on
  // failure.
  std::u16string WriteHostInfoFile();
  // Starts the hidden instance that installs the dependents marked for it; true when started.
  bool ForkInstallDependent();

  // ===== Downloads (window threads) and the engine's callbacks (its download threads).
  void StartDownTask(int32_t type);
  // Re-runs one task's download, or only re-arms its installation when its verified package is
  // still on disk.
  void RestartTask(int32_t taskId);
  // Publishes the run's analytics summary; true when the task list is not empty.
  bool SessionSummary();
  // The task with that id, null when there is none.
  NuvTask* FindTask(int32_t taskId);
  // The error-log report after a failure (remark e.g. "download err=3"); its result.
  bool AutoReportErrorLog(bool includeInstallerLog, const std::string& remark);
  // Whether the package of that task matched its digest in this run.
  bool Md5Matched(int32_t taskId) const;
  // Why the task's package must not be run, empty when it may: the file is ours (regular, one
  // name), and its MD5 matched or, without a digest, it came over verified HTTPS.
  std::string PackageRunRefusal(const NuvTask& task) const;

  void OnFileName(int32_t taskId, const std::u16string& fileName) override;
  void OnFileSize(int taskId, int64_t size) override;
  void OnProgress(int taskId, int64_t downloaded, int64_t total, int speed) override;
  void OnSucceeded(int taskId) override;
  void OnFailed(int taskId, int resultCode) override;
  void OnRangeInfo(int taskId, int reserved, int kind, int64_t value) override;
  void OnStarted(int taskId) override;
  void OnConnectionIp(int32_t taskId, const std::string& ip) override;
  void OnAttemptStarted(int taskId, int attempt) override;
  void OnAttemptFinished(int taskId, int attempt, int resultCode) override;
  void OnFileMd5(int32_t taskId, const std::string& md5) override;
  void OnMd5Matched(int taskId) override;
  void OnPackageFileError(int taskId, int kind, int error) override;
  void OnPackageInfoFailed(int taskId, int error) override;
  void OnDnsCacheCleared(int taskId, int resultCode) override;
  void OnDnsQueried(int32_t taskId, const std::string& host, const std::string& ips) override;
  void OnPrepare(int taskId) override;
  void OnDownloadParams(int taskId, int connections, int bufferSize) override;

  // ===== Launch and follow-up pages (window threads, after the installation).
  bool StartProduct();
  void StartCompanion();
  // Jump pages, then the thank-you page; true when the thank-you page was opened.
  bool OpenFollowUpPages();
  bool OpenPackagePage();
  bool OpenInstallErrorPage();
  // In the preferred browser, else through the desktop's default handler.
  bool OpenPage(const std::u16string& url, bool thankYouPage);
  static bool IsValidPageUrl(const std::u16string& url);
  // "client_sign=...&m_nProductID=...&installtime=...&product_version=...&nuv_version=...
  // &scene_code=..." for the follow-up pages.
  std::u16string FollowUpQuery();

  // ===== Session state.
  // Planned packages in creation order; built before downloads start and not changed while they
  // run (the records themselves change).
  std::vector<std::unique_ptr<NuvTask>> tasks;
  // The window's receiver (not owned); set by the window before the first download.
  std::atomic<NuvNotifyHandler*> notifyHandler{nullptr};
  std::unique_ptr<ns_NUK::IDownloaderManager> downloader;
  int64_t packageSize = 0;       // the main package's size as the probe found it; 0 unknown
  bool dependentByFork = false;  // some dependent is installed by the fork instance
  bool isFirstInstall = true;    // no installed copy of the product was found
  std::atomic<int64_t> firstRetryTime{0};
  // The close-time offer's service client; planning hands it the product context.
  RetentionClient retention;

 private:
  // True the first time the key is counted (the caller then reports), false after.
  bool CountError(int32_t key);
  void AddDiagnostic(const std::string& key, const std::string& value, bool quoted);
  struct ProgressSums {
    int64_t total = 0;
    int64_t downloaded = 0;
    int32_t reporting = 0;  // tasks whose downloaded and total bytes are both positive
  };
  // Adds up every task and tells the window.
  ProgressSums ReportProgress();
  // No task is still waiting for or running its download.
  bool AllDownloadsEnded() const;

  std::atomic<bool> forkStarted_{false};  // the fork instance is started once per run

  mutable std::mutex tablesLock_;           // guards the two tables below
  std::map<int32_t, int32_t> md5Matched_;   // task id -> 1: its package matched a digest
  std::map<int32_t, int32_t> errorCounts_;  // download code + 1000 / install code + 2000 -> count
  std::mutex countsLock_;                   // guards the two counts below
  std::map<std::string, int32_t> connectionCounts_;   // address -> connections started on it
  std::map<std::u16string, int32_t> urlStartCounts_;  // URL -> downloads started of it

  void ReadProductValues(XmlDocument& doc);
  void ReadDependents(XmlDocument& doc);
  void ReadClipboardKeyword(XmlDocument& doc);
};

// The one controller of the process.
NuvMgr& GetNuvMgr();
