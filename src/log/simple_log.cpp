#include "log/simple_log.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include "platform/os/thread_id.h"

// Where the process's writer is installed. Each line counts itself on its writer for as long as
// it writes; a swap takes the writer out and waits only for the lines already counted, so the
// caller may free it on return. A line pays two short holds of `lock` beside the open, append and
// close it does anyway. A reader-writer lock would be simpler, but steady logging from many threads
// can starve its writer side, and a swap must end.
struct ProcessLogSlot {
  std::mutex lock;                           // guards each writer's slotUsers_ and `current`
  std::condition_variable drained;           // a writer out of the slot saw its last line end
  std::atomic<simpleLog*> current{nullptr};  // changed under `lock`; read bare for the skip test

  // Never destroyed: a thread may still log while the process exits.
  static ProcessLogSlot& Get() {
    static ProcessLogSlot* slot = new ProcessLogSlot;
    return *slot;
  }

  void Write(const char* format, va_list args) {
    simpleLog* log;
    {
      std::lock_guard<std::mutex> guard(lock);
      log = current.load(std::memory_order_relaxed);
      if (!log) return;
      ++log->slotUsers_;
    }
    log->LogArgs(format, args);
    std::lock_guard<std::mutex> guard(lock);
    if (--log->slotUsers_ == 0 && current.load(std::memory_order_relaxed) != log)
      drained.notify_all();
  }

  // Puts `next` in the slot and waits until no line is written through the writer it replaced,
  // unless that one is put back meanwhile (its new owner then decides when it goes).
  void Replace(simpleLog* next) {
    std::unique_lock<std::mutex> guard(lock);
    simpleLog* old = current.exchange(next, std::memory_order_acq_rel);
    drained.notify_all();  // a swap waiting for `next` to drain ends now that it is back
    if (!old || old == next) return;
    drained.wait(guard, [&] {
      return old->slotUsers_ == 0 || current.load(std::memory_order_relaxed) == old;
    });
  }
  // A writer about to be destroyed, installed or not.
  void Retire(simpleLog* log) {
    std::unique_lock<std::mutex> guard(lock);
    simpleLog* expected = log;
    current.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
    drained.wait(guard, [&] { return log->slotUsers_ == 0; });
  }
};

namespace {

struct PathParts {
  std::string folder;     // through the last separator
  std::string stem;       // after it, up to the last dot
  std::string extension;  // from the last dot (".log")
};

PathParts SplitPath(const std::string& path) {
  PathParts parts;
  size_t slash = path.rfind('/');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  parts.folder = path.substr(0, nameStart);
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < nameStart) dot = path.size();
  parts.stem = path.substr(nameStart, dot - nameStart);
  parts.extension = path.substr(dot);
  return parts;
}

bool CanOpenForReading(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace

simpleLog* GetSimpleLog() {
  return ProcessLogSlot::Get().current.load(std::memory_order_acquire);
}

void SetSimpleLog(simpleLog* log) {
  ProcessLogSlot::Get().Replace(log);
}

void LogThroughProcessWriter(int /*level*/, const char* format, ...) {
  va_list args;
  va_start(args, format);
  ProcessLogSlot::Get().Write(format, args);
  va_end(args);
}

simpleLog::simpleLog(std::string basePath) : basePath_(std::move(basePath)) {}

simpleLog::~simpleLog() {
  ProcessLogSlot::Get().Retire(this);
}

void simpleLog::Init() {
  if (basePath_.empty()) std::printf("[simpleLog::Log] log filename is empty\n");
  if (disabled_) return;
  currentFile_ = basePath_;
  if (!rotateOnStart_) return;
  CleanUpOldLogs();
  RotateCurrentFile();
}

void simpleLog::CleanUpOldLogs() const {
  const PathParts parts = SplitPath(currentFile_);
  struct Candidate {
    std::string path;
    int64_t mtime;
  };
  std::vector<Candidate> matching;
  std::error_code ec;
  const std::string folder = parts.folder.empty() ? "." : parts.folder;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string path = parts.folder + it->path().filename().string();
    if (path.find(parts.stem) == std::string::npos) continue;
    if (path.find(parts.extension) == std::string::npos) continue;
    struct stat st {};
    int64_t mtime = ::stat(path.c_str(), &st) == 0
                        ? static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec
                        : 0;
    matching.push_back({std::move(path), mtime});
  }
  std::stable_sort(matching.begin(), matching.end(),
                   [](const Candidate& a, const Candidate& b) { return a.mtime < b.mtime; });
  for (size_t i = 0; matching.size() - i > 5; ++i) std::remove(matching[i].path.c_str());
}

void simpleLog::RotateCurrentFile() const {
  const PathParts parts = SplitPath(currentFile_);
  const std::tm today = LocalNow();
  char name[4096];
  std::snprintf(name, sizeof name, "%s%s_%4d-%02d-%02d%s", parts.folder.c_str(), parts.stem.c_str(),
                today.tm_year + 1900, today.tm_mon + 1, today.tm_mday, parts.extension.c_str());
  // Bounded: there are never more than a handful of logs per day, but a folder full of
  // unreadable-but-present names must not spin forever.
  for (int n = 1; CanOpenForReading(name) && n < 100000; ++n) {
    std::snprintf(name, sizeof name, "%s%s_%4d-%02d-%02d_%d%s", parts.folder.c_str(),
                  parts.stem.c_str(), today.tm_year + 1900, today.tm_mon + 1, today.tm_mday, n,
                  parts.extension.c_str());
  }
  std::rename(currentFile_.c_str(), name);
}

void simpleLog::Log(int /*level*/, const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogArgs(format, args);
  va_end(args);
}

void simpleLog::LogArgs(const char* format, va_list args) {
  std::lock_guard<std::mutex> guard(lock_);
  FILE* f = std::fopen(currentFile_.c_str(), "a");
  if (!f) return;
  const std::tm now = LocalNow();
  if (std::fprintf(f, "[%4d-%02d-%02d %d:%02d:%02d] %u - ", now.tm_year + 1900, now.tm_mon + 1,
                   now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec,
                   nuv::os::CurrentThreadId()) >= 0) {
    int written = std::vfprintf(f, format, args);
    if (written >= 0) std::fputc('\n', f);
  }
  std::fclose(f);
}
