// One task's download: size query, a sized temporary file cut into ranges, one RangeConnection
// per range, work stealing, re-fetches, resume record, checks and the final rename; up to ten
// attempts on its own thread, every step reported to its IObserver.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/address_uses.h"
#include "engine/downloader_interfaces.h"
#include "engine/host_resolution.h"
#include "engine/package_file.h"
#include "engine/range_connection.h"
#include "engine/running_digest.h"

namespace ns_NUK {

inline constexpr int kConnectionCount = 24;
inline constexpr int kMaxConnections = 48;
inline constexpr int kBufferSize = 0x500000;
inline constexpr int64_t kMinBuffer = 1024 * 1024;
inline constexpr int kAttempts = 10;
inline constexpr int kForcedResolveAttempt = 5;
inline constexpr int64_t kSaveEvery = 31457280;
// Finished connections processed per polling cycle while a split can still be made.
inline constexpr size_t kFinishedPerCycle = 3;
// Re-fetches of one range that bring no byte before the range is given up for the attempt.
inline constexpr int kMaxFruitlessRefetches = 3;

// The name a package is saved under: the URL's path after its last "/" (query and fragment are
// not part of it).
std::string FileNameOfUrl(const std::string& url);

class CMultiDownloader : public IFileWriter, private IResolveTarget, private IConnectionEndSink {
 public:
  CMultiDownloader() = default;
  ~CMultiDownloader() override;

  void SetObserver(IObserver* observer) { observer_ = observer; }
  void SetServerMd5(const std::string& md5);
  void SetExeVersion(const std::string& version) { exeVersion_ = version; }
  bool Start(int taskId, const std::string& url, const std::string& folder);
  void CancelAll();
  bool ResumeAll();
  void SetNotificationsOn(bool on) { notificationsOn_.store(on); }

  int64_t Write(int64_t offset, int64_t length, const void* data) override;

  void GetProgress(int64_t* total, int64_t* downloaded, int64_t* attempts, int* elapsedSeconds);
  void GetStrings(std::u16string* url, std::u16string* folder, std::u16string* fileName);

 private:
  enum AttemptEnd { kNextAttempt, kStopAttempts };

  // IResolveTarget
  int CurrentResult() const override { return result_.load(); }
  void SetTotal(int64_t total) override { total_.store(total); }
  void SendNotification(int type, intptr_t payload, int extra1, int extra2) override {
    Send(type, payload, extra1, extra2);
  }
  AddressUses& Addresses() override { return addresses_; }
  // IConnectionEndSink
  void OnConnectionEnded() override;

  void Run();
  AttemptEnd RunAttempt();
  bool PrepareAttempt();
  bool StartConnection(int64_t start, int64_t end, int64_t bufferSize, const std::string& ip);
  // One polling cycle; false when nothing is left to wait for.
  bool PollCycle();
  // The polling period, cut short by a cancel, or by a connection's end once the attempt can end
  // now.
  void WaitForNextCycle(int pollMs);
  // Every connection has ended, and none still to be processed would start another (only
  // completions, with nothing left to split, and cancels).
  bool AttemptCanEndNow();
  void ProcessFinished(RangeConnection* c);
  // The running connection a split would take work from, or null.
  RangeConnection* SplitCandidate();
  bool Split(const std::string& ip);
  int FlowAdjustment(int n);
  void ProgressPass(bool allowSave);
  void SaveResumeRecord();
  bool CutResumeRecord();
  // The first byte from which the temporary file is not known to hold its final bytes.
  int64_t SettledPrefix();
  void JoinConnections();
  void DeleteConnections();
  void SizeByMemory();
  int64_t SizeQuery();
  bool CreateTempFile(const std::string& path, int64_t size);
  bool CheckFileSize(const std::string& path, bool report);
  bool CheckFileMd5(const std::string& path, bool report);
  bool MatchMd5(const std::string& digest, bool report);
  // The digest of the finished temporary file: the running one when it is usable, else a pass
  // over the file.
  std::string FinishedDigest(const std::string& temp);
  void StartRunningDigest(const std::string& temp, int64_t total);
  int64_t DownloadedNow(int64_t* attemptBytes);
  // False when nothing was delivered (notifications off or no observer).
  bool Send(int type, intptr_t payload = 0, int extra1 = 0, int extra2 = 0);
  void SendProgress(int64_t downloaded, int speed);
  std::string TempPath() const { return targetPath_ + ".~P2S"; }
  static int64_t Now();
  static uint32_t TrafficEstimate();
  void PauseBetweenAttempts();

  IObserver* observer_ = nullptr;
  int taskId_ = 0;
  std::string fileName_;
  std::string url_;
  std::string expectedMd5_;
  std::string exeVersion_;
  std::atomic<int> attempt_{0};
  std::atomic<int> result_{0};
  std::atomic<bool> notificationsOn_{true};
  // Set by CancelAll and never cleared: no connection, re-fetch or attempt starts after it.
  std::atomic<bool> cancelled_{false};
  std::mutex cancelLock_;  // with cancelWake_, ends the pause between attempts early
  std::condition_variable cancelWake_;
  std::mutex endLock_;  // with endWake_, guards connectionEnds_ and endsSeen_
  std::condition_variable endWake_;
  uint64_t connectionEnds_ = 0;  // transfer threads that ended, for the poll wait
  uint64_t endsSeen_ = 0;        // connectionEnds_ when the last polling cycle began
  std::string folder_;
  std::string targetPath_;  // UTF-8; shown as UTF-16 through GetStrings
  std::atomic<int64_t> total_{0};
  std::atomic<int64_t> cached_{0};
  std::atomic<int64_t> attemptStart_{0};
  int64_t attemptEnd_ = 0;
  int64_t lastReported_ = 0;
  int64_t saveMark_ = 0;
  AddressUses addresses_;
  std::vector<RangeConnection*> connections_;
  std::thread thread_;
  std::mutex listLock_;          // the connection-list lock: the list during walks and appends
  mutable std::mutex infoLock_;  // the texts GetStrings copies
  bool rangeMode_ = true;
  int connectionCount_ = kConnectionCount;
  int bufferSize_ = kBufferSize;
  PackageFile file_;
  // Hashes the temporary file while the attempt runs, when there is a digest to check against.
  // Replaced only while no transfer thread runs; transfer threads report their writes to it.
  std::unique_ptr<RunningDigest> digest_;
  uint32_t trafficBaseline_ = 0;
  uint64_t bytesBaseline_ = 0;
  std::map<int64_t, int64_t> needed_;  // the ranges this attempt must bring in
  std::map<int64_t, int> fruitless_;   // re-fetch start -> failures without a byte
  int lastFailure_ = 0;                // 2 connect-type, 3 other, 4 send; never reset by re-fetches
};

}  // namespace ns_NUK
