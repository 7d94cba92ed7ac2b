// The process-wide text log: one line per call, opened, appended and closed each time so the file
// is complete on disk after every line.
#pragma once

#include <mutex>
#include <string>

class simpleLog {
 public:
  enum Level { kError = 1, kWarn = 2, kInfo = 3 };

  explicit simpleLog(std::string basePath);

  // Rotates the previous run's file to a dated name and keeps at most five matching files.
  void Init();

  // Appends "[date time] <thread id> - <message>\n". The level is not printed: every message
  // begins with its own "[ERROR] ", "[WARN] " or "[INFO] " tag.
  void Log(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

  const std::string& CurrentFile() const { return currentFile_; }
  void SetDisabled(bool disabled) { disabled_ = disabled; }
  void SetRotateOnStart(bool rotate) { rotateOnStart_ = rotate; }

 private:
  void CleanUpOldLogs() const;
  void RotateCurrentFile() const;

  std::string currentFile_;
  std::mutex lock_;  // held for the whole open-append-close of one line
  std::string basePath_;
  bool disabled_ = false;
  bool rotateOnStart_ = true;
};

// The one writer of the process, or null before the start-up created it (and in most tests).
simpleLog* GetSimpleLog();
// Installs (or, with null, removes) the process-wide writer; the caller keeps ownership.
void SetSimpleLog(simpleLog* log);

// Every caller skips its line while no writer exists.
#define NUV_LOG(level, ...)                                \
  do {                                                     \
    if (simpleLog* nuvLog_ = GetSimpleLog()) nuvLog_->Log(level, __VA_ARGS__); \
  } while (0)
