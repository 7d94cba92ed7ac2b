#include "engine/running_digest.h"

#include <algorithm>
#include <vector>

#include "engine/file_digest.h"
#include "platform/os/sized_file.h"
#include "log/simple_log.h"

namespace ns_NUK {

namespace {

constexpr int64_t kReadBlock = 1 << 20;

}  // namespace

RunningDigest::RunningDigest(const std::string& path, int64_t total) : total_(total) {
  int error = 0;
  fd_ = nuv::os::OpenRead(path, error);
  if (fd_ < 0) {
    NUV_LOG(2, "[WARN] multi, running md5 not started, open err=[%d].", error);
    return;
  }
  thread_ = std::thread(&RunningDigest::Run, this);
}

RunningDigest::~RunningDigest() {
  Stop();
  if (fd_ >= 0) nuv::os::CloseFd(fd_);
}

void RunningDigest::Stop() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    abandoned_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void RunningDigest::Settle(int64_t upTo) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (upTo <= settled_) return;
    settled_ = std::min(upTo, total_);
  }
  wake_.notify_all();
}

void RunningDigest::NoteWrite(int64_t offset) {
  if (offset < claimed_.load()) stale_.store(true);
}

std::string RunningDigest::Finish() {
  bool whole = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    whole = settled_ >= total_;
    if (!whole) abandoned_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (!whole || hashed_.load() != total_) return {};
  if (stale_.load()) {
    NUV_LOG(3, "[INFO] multi, running md5 dropped: hashed bytes were written again.");
    return {};
  }
  return hex_;
}

void RunningDigest::Run() {
  Md5Hasher hasher;
  std::vector<unsigned char> block(static_cast<size_t>(kReadBlock));
  int64_t at = 0;
  while (at < total_ && !stale_.load()) {
    int64_t end = 0;
    {
      std::unique_lock<std::mutex> guard(lock_);
      wake_.wait(guard, [&] { return abandoned_ || settled_ > at; });
      if (abandoned_) return;
      end = std::min(settled_, at + kReadBlock);
    }
    claimed_.store(end);
    if (!nuv::os::ReadAt(fd_, at, block.data(), end - at) ||
        !hasher.Update(block.data(), static_cast<size_t>(end - at))) {
      NUV_LOG(2, "[WARN] multi, running md5 read failed at=[%lld].", static_cast<long long>(at));
      return;
    }
    at = end;
    hashed_.store(at);
  }
  if (at == total_) hex_ = hasher.FinalHex();
}

}  // namespace ns_NUK
