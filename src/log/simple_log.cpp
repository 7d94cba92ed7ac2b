#include "log/simple_log.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include "platform/os/thread_id.h"

namespace {

std::atomic<simpleLog*> gLog{nullptr};

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

simpleLog* GetSimpleLog() { return gLog.load(std::memory_order_acquire); }
void SetSimpleLog(simpleLog* log) { gLog.store(log, std::memory_order_release); }

simpleLog::simpleLog(std::string basePath) : basePath_(std::move(basePath)) {}

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
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string path = parts.folder + it->path().filename().string();
    if (path.find(parts.stem) == std::string::npos) continue;
    if (path.find(parts.extension) == std::string::npos) continue;
    struct stat st {};
    int64_t mtime = ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec : 0;
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
  std::lock_guard<std::mutex> guard(lock_);
  FILE* f = std::fopen(currentFile_.c_str(), "a");
  if (!f) return;
  const std::tm now = LocalNow();
  if (std::fprintf(f, "[%4d-%02d-%02d %d:%02d:%02d] %u - ", now.tm_year + 1900, now.tm_mon + 1,
                   now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec,
                   nuv::os::CurrentThreadId()) >= 0) {
    va_list args;
    va_start(args, format);
    int written = std::vfprintf(f, format, args);
    va_end(args);
    if (written >= 0) std::fputc('\n', f);
  }
  std::fclose(f);
}
