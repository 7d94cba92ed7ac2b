// The record layer: super properties, distinct id and the record queue of one process.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "analytics/sdk/object_node.h"
#include "analytics/sdk/record_queue.h"

namespace analytics_sdk {

class AnalyticsSdk {
 public:
  // Null (with a message on the error stream) when the distinct id is not valid.
  static std::unique_ptr<AnalyticsSdk> Create(const std::string& stagingPath,
                                              const std::vector<std::string>& serverUrls,
                                              const std::string& distinctId);

  // Builds the record of one event and queues it; false when the event was dropped.
  bool Track(const std::string& eventName, const PropertiesNode& properties,
             const std::string& distinctId);
  bool Flush() { return queue_.Flush(); }
  // Loads a pending staging file and writes the queue into it.
  void Shutdown() { queue_.Shutdown(); }

  // Later values replace earlier ones of the same name.
  void RegisterSuperProperties(const utils::ObjectNode& properties);
  utils::ObjectNode SuperProperties() const;

  const std::string& DistinctId() const { return distinctId_; }
  RecordQueue& Queue() { return queue_; }

 private:
  AnalyticsSdk(const std::string& stagingPath, const std::vector<std::string>& serverUrls,
               const std::string& distinctId);

  const std::string distinctId_;
  // Super properties are set by any thread while the sending thread builds records.
  mutable std::mutex superLock_;
  PropertiesNode superProperties_;
  RecordQueue queue_;
};

}  // namespace analytics_sdk
