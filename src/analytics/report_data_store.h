// The process-wide record of how the run went, sent once as the download track report when the
// program closes or crashes.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "analytics/common_properties.h"
#include "analytics/track_report.h"

class ReportDataStore {
 public:
  // baseUrl: the platform base URL until the configured server host replaces it (ends in '/').
  // values: the run's common properties, which are the report's value map (the process-wide
  // store uses the process-wide set; a test gives its own).
  ReportDataStore(std::string baseUrl, analytics::CommonProperties& values);
  ReportDataStore(const ReportDataStore&) = delete;
  ReportDataStore& operator=(const ReportDataStore&) = delete;

  // --- Value map (the common properties' lock); a later value replaces an earlier one.
  void SetReportValue(const std::string& key, const std::u16string& value);
  void SetReportValue(const std::string& key, const std::string& utf8);
  // Unsigned decimal of the 32-bit pattern: -5 is stored as "4294967291".
  void SetReportNumber(const std::string& key, int32_t value);
  // A 64-bit time goes through its low 32 bits the same way.
  void SetReportTime(const std::string& key, int64_t seconds);
  // "" when the key was never set.
  std::string GetReportValue(const std::string& key) const;

  // --- Remarks. A fragment identical to one already kept is not added again.
  void AddRemark(const std::string& key, const std::string& value, bool quoted);
  // Compacts a text an installer sent to the window (at most 256 units, at most 100 kept). A text
  // that lacks one of the markers ,"event" / ","time":" / ","data":" or has them out of order is
  // ignored: it may come from any local process.
  void AddInstallerMessage(const std::u16string& text);

  // --- Task statistics (lock B), created on first use of an id.
  void SetTaskCount(int32_t id, int32_t count);
  void SetTaskDownloadTimes(int32_t id, int64_t start, int64_t end);
  void SetTaskDownloadFailure(int32_t id, int32_t code);
  void SetTaskInstallTimes(int32_t id, int64_t start, int64_t end);
  void SetTaskInstallFailure(int32_t id, int32_t code);
  // In multi-task mode each task's document first stores these values (e.g. "startupproduct",
  // "serverxmlmd5", its own "downstatus"...) in the value map; "product_id" is the task id.
  void SetTaskReportValue(int32_t id, const std::string& key, const std::string& utf8);

  // --- CDN addresses and URLs seen by the engine (sets, lock B).
  void AddCdnAddress(const std::string& address);
  void AddCdnUrl(const std::string& url);

  // --- Run facts.
  void SetPlatformBaseUrl(const std::string& baseUrl);  // the configured server host, ends in '/'
  std::string PlatformBaseUrl() const;
  void SetTrackId(const std::string& trackId);
  void SetInstallerLogPath(const std::u16string& path);
  std::u16string InstallerLogPath() const;
  void SetDownloadStarted(bool started) { downloadStarted_ = started; }
  bool DownloadStarted() const { return downloadStarted_; }
  void SetMultiTaskMode(bool multi) { multiTask_ = multi; }
  void SetFirstInstall(bool first) { firstInstall_ = first; }
  void SetStartTime(int64_t seconds) { startTime_ = seconds; }
  // Filled by the window host when it knows the screen; "0*0" until then.
  void SetScreenSize(int width, int height);

  // --- Crash record, written once by the crash handler. From then on the store's own locks are
  // taken with a time limit: the faulting thread may hold one, and a crash must not hang.
  void RecordCrash(uint32_t code, uintptr_t address, uint32_t offset, const std::string& module,
                   const std::string& section);
  bool Crashed() const { return crashed_; }

  // Posts the document(s) to the platform server and writes the local copy in the temporary
  // folder. Nothing happens unless the download started and "client_sign" is set. Returns the
  // documents that were built (for the caller's log and tests).
  std::vector<std::string> SendTrackReport();
  std::vector<std::string> SendTrackReport(const TrackEnvironment& env);

  // The value map, remarks, tasks and crash record as the document sees them.
  TrackSnapshot Snapshot() const;

 private:
  using LockA = std::unique_lock<std::mutex>;
  LockA Lock(std::mutex& m) const;
  void SendOne(const std::string& document, const std::string& clientSign,
               const std::string& productId, const TrackEnvironment& env) const;

  analytics::CommonProperties& values_;
  mutable std::mutex valuesLock_;  // lock A: remarks, crash record, base URL, ids
  std::vector<std::string> remarks1_;
  std::vector<std::string> remarks2_;
  CrashInfo crash_;
  std::string baseUrl_;
  std::string trackId_;
  std::u16string installerLogPath_;

  mutable std::mutex tasksLock_;  // lock B: tasks_ and the CDN sets
  std::map<int32_t, TaskStats> tasks_;
  std::set<std::string> cdnAddresses_;
  std::set<std::string> cdnUrls_;

  std::atomic<bool> downloadStarted_{false};
  std::atomic<bool> multiTask_{false};
  std::atomic<bool> firstInstall_{true};
  std::atomic<bool> crashed_{false};
  std::atomic<int64_t> startTime_;
  std::atomic<int> screenWidth_{0};
  std::atomic<int> screenHeight_{0};
};

// The one store of the process, created before main; its base URL is the endpoint table's
// platform base URL.
ReportDataStore& GetReportDataStore();
