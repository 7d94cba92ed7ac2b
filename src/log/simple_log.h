// The process-wide text log: one line per call, opened, appended and closed each time so the file
// is complete on disk after every line.
#pragma once

#include <cstdarg>
#include <mutex>
#include <string>

struct ProcessLogSlot;

class simpleLog {
 public:
  enum Level { kError = 1, kWarn = 2, kInfo = 3 };

  explicit simpleLog(std::string basePath);
  // Takes the writer out of the process-wide slot if it is still there and waits for the lines
  // other threads are writing through it, so no thread is left inside a freed writer.
  ~simpleLog();
  simpleLog(const simpleLog&) = delete;
  simpleLog& operator=(const simpleLog&) = delete;

  // Rotates the previous run's file to a dated name and keeps at most five matching files.
  void Init();

  // Appends "[date time] <thread id> - <message>\n". The level is not printed: every message
  // begins with its own "[ERROR] ", "[WARN] " or "[INFO] " tag.
  void Log(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

  const std::string& CurrentFile() const { return currentFile_; }
  void SetDisabled(bool disabled) { disabled_ = disabled; }
  void SetRotateOnStart(bool rotate) { rotateOnStart_ = rotate; }

 private:
  friend struct ProcessLogSlot;

  void LogArgs(const char* format, va_list args);
  void CleanUpOldLogs() const;
  void RotateCurrentFile() const;

  std::string currentFile_;
  std::mutex lock_;  // held for the whole open-append-close of one line
  std::string basePath_;
  bool disabled_ = false;
  bool rotateOnStart_ = true;
  int slotUsers_ = 0;  // lines being written through the process-wide slot; the slot's lock
};

// The installed writer, or null before the start-up created one (and in most tests). Only for
// telling whether, and which, writer is installed: another thread may remove and free it at any
// time, so lines go through NUV_LOG, never through this pointer.
simpleLog* GetSimpleLog();
// Installs (or, with null, removes) the process-wide writer; the caller keeps ownership. Returns
// once no other thread is still writing a line through the writer it replaced, which the caller
// may then free.
void SetSimpleLog(simpleLog* log);
// Writes one line through the installed writer, holding it for the line; nothing without one.
void LogThroughProcessWriter(int level, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Every caller skips its line (and its arguments) while no writer exists.
#define NUV_LOG(level, ...)                                          \
  do {                                                               \
    if (GetSimpleLog()) LogThroughProcessWriter(level, __VA_ARGS__); \
  } while (0)
