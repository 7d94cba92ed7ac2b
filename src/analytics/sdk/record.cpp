#include "analytics/sdk/record.h"

#include <chrono>

#include "analytics/sdk/validation.h"

namespace analytics_sdk {

int64_t CurrentTimeMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

bool BuildRecord(const std::string& eventName, const utils::ObjectNode& eventProperties,
                 const utils::ObjectNode& superProperties, const std::string& distinctId,
                 int64_t nowMs, std::string& record) {
  if (!CheckProperties(eventProperties)) return false;
  if (!CheckName(eventName, "Event Name")) return false;

  utils::ObjectNode properties = superProperties;
  properties.Merge(eventProperties);

  int64_t timeMs = nowMs;
  if (const utils::ValueNode* t = properties.Find("$time")) {
    // A "$time" among the super properties is not checked above; only a date-time is used.
    if (t->kind == utils::ValueNode::kDateTime)
      timeMs = t->dateTime.seconds * 1000 + t->dateTime.milliseconds;
    properties.Remove("$time");
  }
  std::string project;
  bool hasProject = false;
  if (const utils::ValueNode* p = properties.Find("$project")) {
    if (p->kind == utils::ValueNode::kString) {
      project = p->text;
      hasProject = true;
    }
    properties.Remove("$project");
  }

  utils::ObjectNode lib;
  lib.SetString("$lib", kLibName);
  lib.SetString("$lib_method", "code");
  lib.SetString("$lib_version", kLibVersion);

  utils::ObjectNode node;
  node.SetString("distinct_id", distinctId);
  node.SetString("event", eventName);
  node.SetObject("lib", lib);
  if (hasProject) node.SetString("project", project);
  node.SetObject("properties", properties);
  node.SetInteger("time", timeMs);
  node.SetString("type", "track");
  record = node.ToJson();
  return true;
}

}  // namespace analytics_sdk
