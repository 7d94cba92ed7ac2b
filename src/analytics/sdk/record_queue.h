// The bounded queue of serialised records, its staging file and the batch flush.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "analytics/sdk/record_sender.h"

namespace analytics_sdk {

class RecordQueue {
 public:
  static constexpr size_t kCapacity = 100;
  static constexpr size_t kBatchSize = 30;

  // Posts one body to one URL; the real sender unless a test replaces it.
  using PostFunction = std::function<SenderReply(const std::string& url, const std::string& body,
                                                 const std::string& cookie)>;

  RecordQueue(std::string stagingPath, std::vector<std::string> serverUrls);

  // Appends at the back; past the capacity the oldest record is dropped.
  void Add(std::string record);
  // Sends the oldest records (at most kBatchSize) to the first URL that answers 200. On failure
  // they go back to the front as far as there is room, newest first kept.
  bool Flush();
  // Loads the staging file once (while the load is pending): its records go in front of the
  // queue, and the file is emptied.
  void LoadStagingIfPending();
  // Loads the staging file if still pending, then writes every queued record into it.
  void Shutdown();

  size_t Size() const;
  std::vector<std::string> Records() const;
  const std::string& StagingPath() const { return stagingPath_; }

  void SetCookie(const std::string& cookie);
  void SetVerbose(bool verbose);
  void SetPostFunction(PostFunction post);

 private:
  void LoadStagingLocked();
  bool Send(const std::string& body);

  const std::string stagingPath_;
  const std::vector<std::string> serverUrls_;
  PostFunction post_;

  mutable std::mutex queueLock_;  // guards records_, loadPending_, cookie_, verbose_
  std::deque<std::string> records_;
  bool loadPending_ = true;
  std::string cookie_;
  bool verbose_ = false;

  std::mutex flushLock_;  // serialises whole flushes (and the shutdown dump)
};

}  // namespace analytics_sdk
