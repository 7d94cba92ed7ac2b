// The program's analytics front: super properties, events from any thread, and one sending thread
// that tracks and flushes them, one event per wake-up.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "analytics/sdk/analytics_sdk.h"

namespace analytics {

// Argument of TrackDownload.
struct DownloadRecord {
  std::string type;
  std::string state;
  int64_t times = 0;
  int64_t resumedown = 0;
  std::string domain;
  int64_t speed = 0;
  int64_t duration = 0;
  int64_t error_code = 0;
  int64_t thread = 0;
  int64_t buffer = 0;
};

class UsageTracker {
 public:
  // An empty staging path means the temporary folder's "nuv_tracker", chosen at Init.
  explicit UsageTracker(std::string stagingPath = {});
  // Close().
  ~UsageTracker();
  UsageTracker(const UsageTracker&) = delete;
  UsageTracker& operator=(const UsageTracker&) = delete;

  // Only the first successful call initialises; every call registers "tid" and the
  // operating-system super properties.
  void Init(const std::vector<std::string>& serverUrls, const std::string& distinctId,
            const std::string& tid);
  bool Initialized() const { return initialized_.load(std::memory_order_acquire); }
  // Sets the stop flag, wakes the thread and waits at most 5 seconds for it to end.
  void Stop();
  // Ends the sending thread (tracking what is still pending without sending it) and writes the
  // unsent records into the staging file. Events raised afterwards are dropped; the object stays
  // usable, so a thread still reporting while the process exits does no harm.
  void Close();

  // Ignored until Init created the record layer.
  void SetSuperProperty(const std::string& name, const std::string& value);
  void SetSuperProperty(const std::string& name, int64_t value);
  void SetProductProperties(const std::u16string& pid, const std::u16string& pver,
                            const std::u16string& psource, const std::u16string& pbrand,
                            const std::u16string& plang);
  // "downloader_ver" (the program's own version), "scene_code" and the five product properties.
  void SetSessionProperties(const std::u16string& sceneCode, const std::u16string& pid,
                            const std::u16string& pver, const std::u16string& psource,
                            const std::u16string& pbrand, const std::u16string& plang);

  // Queues an event for the sending thread (started by the first event).
  void QueueEvent(const std::string& eventName,
                  std::unique_ptr<analytics_sdk::PropertiesNode> properties);

  // Event builders.
  void TrackEvent(const std::string& eventName, const std::string& key = {},
                  const std::string& value = {});
  void TrackPopClick(const std::string& page, const std::string& button);
  void TrackConfig(const std::string& name, const std::string& exeName, int64_t pkgSize,
                   const std::string& pkgUrl, const std::string& pkgMd5,
                   const std::string& x64PkgUrl, const std::string& x64PkgMd5, int64_t errorCode);
  void TrackDns(const std::string& domain, const std::string& ip);
  void TrackCover(const std::string& coverVersion, const std::string& button);
  void TrackDownload(const DownloadRecord& record);
  void TrackInstall(const std::string& type, const std::string& state, int64_t times, int64_t speed,
                    int64_t duration, int64_t errorCode);
  void TrackCrash(const std::string& crashAddr, const std::string& crashOffset,
                  const std::string& crashFileName, const std::string& crashSection,
                  int64_t errorCode);
  void TrackStartProduct(int64_t errorCode);
  void TrackRedeemFailed(const std::string& page, int64_t error);

  // For tests: the record layer once initialised (null before).
  analytics_sdk::AnalyticsSdk* Sdk() const;
  // For tests: whether the sending thread has ended.
  bool ThreadEnded() const;

 private:
  using Pending =
      std::map<size_t, std::pair<std::string, std::unique_ptr<analytics_sdk::PropertiesNode>>>;

  void RegisterSuperProperties(const analytics_sdk::PropertiesNode& properties);
  void Signal();
  void Run();
  void TrackPending(Pending& events, bool flush);

  std::string stagingPath_;

  mutable std::mutex sdkLock_;  // guards the creation of sdk_ (it lives until destruction)
  std::unique_ptr<analytics_sdk::AnalyticsSdk> sdk_;
  std::atomic<bool> initialized_{false};

  mutable std::mutex
      lock_;  // guards pending_, stop_, abandon_, signaled_, ended_ and the thread's start
  std::condition_variable wake_;     // the auto-reset wake-up event (signaled_)
  std::condition_variable endedCv_;  // ended_ became true
  Pending pending_;
  bool signaled_ = false;
  bool stop_ = false;
  bool abandon_ = false;  // process exit: track what is pending but send nothing more
  bool threadStarted_ = false;
  bool ended_ = false;
  bool closed_ = false;
  std::mutex joinLock_;  // serialises joining thread_ (Stop from a crash, Close at exit)
  std::thread thread_;
};

// The process-wide tracker: never destroyed, closed when the process's static objects are.
UsageTracker& GetUsageTracker();

}  // namespace analytics
