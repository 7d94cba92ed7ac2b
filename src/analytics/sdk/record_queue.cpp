#include "analytics/sdk/record_queue.h"

#include <cstdio>

#include "analytics/sdk/batch_encoding.h"
#include "analytics/sdk/staging_file.h"
#include "analytics/sdk/validation.h"

namespace analytics_sdk {

RecordQueue::RecordQueue(std::string stagingPath, std::vector<std::string> serverUrls)
    : stagingPath_(std::move(stagingPath)), serverUrls_(std::move(serverUrls)) {
  post_ = [](const std::string& url, const std::string& body, const std::string& cookie) {
    return RecordSender().Post(url, body, cookie);
  };
}

void RecordQueue::Add(std::string record) {
  std::lock_guard<std::mutex> guard(queueLock_);
  if (verbose_) std::printf("add record:%s\n", record.c_str());
  records_.push_back(std::move(record));
  if (records_.size() > kCapacity) {
    if (verbose_) std::printf("record is full, delete record\n");
    records_.pop_front();
  }
}

void RecordQueue::LoadStagingLocked() {
  if (!loadPending_) return;
  const size_t room = records_.size() < kCapacity ? kCapacity - records_.size() : 0;
  std::vector<std::string> staged = ReadStagedRecords(stagingPath_, room);
  records_.insert(records_.begin(), staged.begin(), staged.end());
  TruncateStagingFile(stagingPath_);
  loadPending_ = false;
}

void RecordQueue::LoadStagingIfPending() {
  std::lock_guard<std::mutex> guard(queueLock_);
  LoadStagingLocked();
}

bool RecordQueue::Send(const std::string& body) {
  std::string cookie;
  {
    std::lock_guard<std::mutex> guard(queueLock_);
    cookie = cookie_;
  }
  std::string lastBody = "no server URL";
  for (const std::string& url : serverUrls_) {
    SenderReply reply = post_(url, body, cookie);
    if (reply.status == 200) return true;
    lastBody = reply.body;
  }
  WriteError("Analytics SDK send failed: " + lastBody + "\n");
  return false;
}

bool RecordQueue::Flush() {
  std::lock_guard<std::mutex> flushGuard(flushLock_);
  std::vector<std::string> batch;
  {
    std::lock_guard<std::mutex> guard(queueLock_);
    LoadStagingLocked();
    const size_t take = std::min(kBatchSize, records_.size());
    if (take == 0) return true;
    batch.assign(std::make_move_iterator(records_.begin()),
                 std::make_move_iterator(records_.begin() + static_cast<ptrdiff_t>(take)));
    records_.erase(records_.begin(), records_.begin() + static_cast<ptrdiff_t>(take));
  }

  std::string body;
  const bool sent = BuildBatchBody(batch, body) && Send(body);
  if (sent) return true;

  // Records queued meanwhile are newer; of the batch only what fits below the capacity goes
  // back, and those are its newest.
  std::lock_guard<std::mutex> guard(queueLock_);
  const size_t room = records_.size() < kCapacity ? kCapacity - records_.size() : 0;
  const size_t back = std::min(room, batch.size());
  records_.insert(records_.begin(),
                  std::make_move_iterator(batch.end() - static_cast<ptrdiff_t>(back)),
                  std::make_move_iterator(batch.end()));
  return false;
}

void RecordQueue::Shutdown() {
  std::lock_guard<std::mutex> flushGuard(flushLock_);
  std::lock_guard<std::mutex> guard(queueLock_);
  LoadStagingLocked();
  const std::vector<std::string> all(records_.begin(), records_.end());
  WriteStagedRecords(stagingPath_, all);
}

size_t RecordQueue::Size() const {
  std::lock_guard<std::mutex> guard(queueLock_);
  return records_.size();
}

std::vector<std::string> RecordQueue::Records() const {
  std::lock_guard<std::mutex> guard(queueLock_);
  return {records_.begin(), records_.end()};
}

void RecordQueue::SetCookie(const std::string& cookie) {
  std::lock_guard<std::mutex> guard(queueLock_);
  cookie_ = cookie;
}

void RecordQueue::SetVerbose(bool verbose) {
  std::lock_guard<std::mutex> guard(queueLock_);
  verbose_ = verbose;
}

void RecordQueue::SetPostFunction(PostFunction post) {
  std::lock_guard<std::mutex> flushGuard(flushLock_);
  post_ = std::move(post);
}

}  // namespace analytics_sdk
