#include "analytics/sdk/analytics_sdk.h"

#include "analytics/sdk/record.h"
#include "analytics/sdk/validation.h"

namespace analytics_sdk {

std::unique_ptr<AnalyticsSdk> AnalyticsSdk::Create(const std::string& stagingPath,
                                                   const std::vector<std::string>& serverUrls,
                                                   const std::string& distinctId) {
  if (!CheckDistinctId(distinctId)) return nullptr;
  return std::unique_ptr<AnalyticsSdk>(new AnalyticsSdk(stagingPath, serverUrls, distinctId));
}

AnalyticsSdk::AnalyticsSdk(const std::string& stagingPath,
                           const std::vector<std::string>& serverUrls,
                           const std::string& distinctId)
    : distinctId_(distinctId), queue_(stagingPath, serverUrls) {
  superProperties_.SetString("$lib", kLibName);
  superProperties_.SetString("$lib_version", kLibVersion);
}

bool AnalyticsSdk::Track(const std::string& eventName, const PropertiesNode& properties,
                         const std::string& distinctId) {
  std::string record;
  if (!BuildRecord(eventName, properties, SuperProperties(), distinctId, CurrentTimeMs(), record))
    return false;
  queue_.Add(std::move(record));
  return true;
}

void AnalyticsSdk::RegisterSuperProperties(const utils::ObjectNode& properties) {
  std::lock_guard<std::mutex> guard(superLock_);
  superProperties_.Merge(properties);
}

utils::ObjectNode AnalyticsSdk::SuperProperties() const {
  std::lock_guard<std::mutex> guard(superLock_);
  return superProperties_;
}

}  // namespace analytics_sdk
