// One package of the run: where it comes from, where it goes, how its download and its
// installation went. The planning step creates the records before any download thread exists;
// from then on the engine's callbacks write the numbers and the few texts a download produces
// while the window's threads read them.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// Task types.
inline constexpr int32_t kTaskDotnet = 0;
inline constexpr int32_t kTaskDependent = 1;
inline constexpr int32_t kTaskProduct = 2;

// Special task identifiers.
inline constexpr int32_t kDotnetTaskId = 9876;
inline constexpr int32_t kCompanionTaskId = 10819;

// Download and install states.
inline constexpr int32_t kStateNone = 0;
inline constexpr int32_t kStateRunning = 1;
inline constexpr int32_t kStateFailed = 2;
inline constexpr int32_t kStateSucceeded = 3;

struct NuvTask {
  // --- Fixed once planned (written before downloads start, or by the install thread only).
  int32_t id = 0;
  int32_t type = kTaskProduct;
  std::u16string url;
  std::u16string folder;
  std::u16string historyMd5;  // scratch while the md5 list is built
  std::u16string expectedVersion;
  int64_t serverSize = 0;
  std::u16string productName;
  std::u16string productExe;
  std::u16string productArg;
  std::u16string installArg;
  std::u16string compatLayer;
  std::u16string sceneCode;
  std::u16string installFolder;
  std::u16string installCommandLine;
  std::u16string productPath;
  bool startupProduct = false;

  // --- Numbers written by the engine's callbacks (or the install thread) and read anywhere.
  std::atomic<int64_t> total{0};
  std::atomic<int64_t> downloaded{0};
  std::atomic<int64_t> speed{0};
  std::atomic<int64_t> downloadStart{0};
  std::atomic<int64_t> downloadEnd{0};
  std::atomic<int64_t> attemptStart{0};
  std::atomic<int64_t> attemptEnd{0};
  std::atomic<int32_t> downloadState{kStateNone};
  std::atomic<int32_t> downloadCode{0};
  std::atomic<int32_t> downloadRetries{0};  // counted up by the window when it retries
  std::atomic<int32_t> installRetries{0};   // likewise
  std::atomic<int32_t> attempt{0};
  std::atomic<int64_t> installStart{0};
  std::atomic<int64_t> installEnd{0};
  std::atomic<int32_t> installState{kStateNone};
  std::atomic<int32_t> installCode{0};
  std::atomic<bool> forceInstall{true};
  std::atomic<int32_t> connections{0};
  std::atomic<int32_t> bufferSize{0};

  // --- Texts a download produces or a restart clears: read and written through these, under
  // the record's own lock.
  std::u16string Md5List() const { return Read(md5List_); }
  void SetMd5List(const std::u16string& v) { Write(md5List_, v); }
  std::u16string FileName() const { return Read(fileName_); }
  void SetFileName(const std::u16string& v) { Write(fileName_, v); }
  std::u16string SavePath() const { return Read(savePath_); }
  void SetSavePath(const std::u16string& v) { Write(savePath_, v); }
  std::u16string PackageVersion() const { return Read(packageVersion_); }
  void SetPackageVersion(const std::u16string& v) { Write(packageVersion_, v); }

 private:
  std::u16string Read(const std::u16string& field) const {
    std::lock_guard<std::mutex> hold(textLock_);
    return field;
  }
  void Write(std::u16string& field, const std::u16string& value) {
    std::lock_guard<std::mutex> hold(textLock_);
    field = value;
  }

  mutable std::mutex textLock_;
  std::u16string md5List_;
  std::u16string fileName_;
  std::u16string savePath_;
  std::u16string packageVersion_;
};

// The window's side of the controller: called from the engine's download threads and from the
// install thread.
class NuvNotifyHandler {
 public:
  virtual ~NuvNotifyHandler() = default;
  // A download ended: the engine's result code, or 0 when there is nothing for the window to do.
  virtual void OnFinished(NuvTask& task, int32_t code) = 0;
  // Sums over every task; reporting = tasks whose downloaded and total bytes are both positive.
  virtual void OnDownloadProgress(int64_t total, int64_t downloaded, int32_t taskCount,
                                  int32_t reporting) = 0;
  // The installer of the task ended (0 = success).
  virtual void OnInstall(NuvTask& task, int32_t code) = 0;
};
