#include "engine_recorder.h"

namespace enginetest {

void Recorder::Add(int id, const std::string& event) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    tasks_[id].events.push_back(event);
  }
  changed_.notify_all();
}

void Recorder::OnFileName(int32_t id, const std::u16string&) {
  Add(id, "name");
}
void Recorder::OnFileSize(int id, int64_t size) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    tasks_[id].size = size;
  }
  Add(id, "size");
}
void Recorder::OnProgress(int id, int64_t downloaded, int64_t, int) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    tasks_[id].downloaded = downloaded;
    ++tasks_[id].progress;
  }
  changed_.notify_all();
}
void Recorder::Finish(int id, int result, const std::string& event) {
  {
    // One hold for both: a waiter that sees the result must also see the end among the events.
    std::lock_guard<std::mutex> guard(lock_);
    tasks_[id].result = result;
    tasks_[id].events.push_back(event);
  }
  changed_.notify_all();
}
void Recorder::OnSucceeded(int id) {
  Finish(id, 0, "ok");
}
void Recorder::OnFailed(int id, int code) {
  Finish(id, code, "fail:" + std::to_string(code));
}
void Recorder::OnRangeInfo(int, int, int, int64_t) {}
void Recorder::OnStarted(int id) {
  Add(id, "start");
}
void Recorder::OnConnectionIp(int32_t, const std::string&) {}
void Recorder::OnAttemptStarted(int id, int attempt) {
  Add(id, "try:" + std::to_string(attempt));
}
void Recorder::OnAttemptFinished(int id, int attempt, int code) {
  Add(id, "end:" + std::to_string(attempt) + ":" + std::to_string(code));
}
void Recorder::OnFileMd5(int32_t id, const std::string& md5) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    tasks_[id].md5 = md5;
  }
  Add(id, "md5");
}
void Recorder::OnMd5Matched(int id) {
  Add(id, "match");
}
void Recorder::OnPackageFileError(int id, int kind, int) {
  Add(id, "ferr:" + std::to_string(kind));
}
void Recorder::OnPackageInfoFailed(int id, int error) {
  Add(id, "info:" + std::to_string(error));
}
void Recorder::OnDnsCacheCleared(int id, int) {
  Add(id, "dnsclear");
}
void Recorder::OnDnsQueried(int32_t id, const std::string&, const std::string&) {
  Add(id, "dns");
}
void Recorder::OnPrepare(int id) {
  Add(id, "prep");
}
void Recorder::OnDownloadParams(int id, int, int) {
  Add(id, "params");
}

bool Recorder::WaitFinished(int id, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, timeout, [&] { return tasks_[id].result != -1; });
}

bool Recorder::WaitEvents(int id, const std::string& text, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, timeout, [&] {
    std::string joined;
    for (const std::string& e : tasks_[id].events) joined += (joined.empty() ? "" : " ") + e;
    return joined.find(text) != std::string::npos;
  });
}

bool Recorder::WaitDownloaded(int id, int64_t bytes, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, timeout, [&] { return tasks_[id].downloaded >= bytes; });
}

std::vector<std::string> Recorder::Events(int id) {
  std::lock_guard<std::mutex> guard(lock_);
  return tasks_[id].events;
}

std::string Recorder::Joined(int id) {
  std::string out;
  for (const std::string& e : Events(id)) out += (out.empty() ? "" : " ") + e;
  return out;
}

int Recorder::Result(int id) {
  std::lock_guard<std::mutex> guard(lock_);
  return tasks_[id].result;
}
int64_t Recorder::Size(int id) {
  std::lock_guard<std::mutex> guard(lock_);
  return tasks_[id].size;
}
std::string Recorder::Md5(int id) {
  std::lock_guard<std::mutex> guard(lock_);
  return tasks_[id].md5;
}
int64_t Recorder::LastDownloaded(int id) {
  std::lock_guard<std::mutex> guard(lock_);
  return tasks_[id].downloaded;
}
int Recorder::ProgressCount(int id) {
  std::lock_guard<std::mutex> guard(lock_);
  return tasks_[id].progress;
}

std::string Attempts(int first, int count, int code, bool md5Reported) {
  std::string out;
  for (int i = first; i < first + count; ++i) {
    if (!out.empty()) out += ' ';
    out += "params try:" + std::to_string(i) + (md5Reported ? " md5" : "") +
           " end:" + std::to_string(i) + ":" + std::to_string(code);
  }
  return out;
}

}  // namespace enginetest
