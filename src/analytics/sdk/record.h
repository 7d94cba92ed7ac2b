// One tracked event as a "track" record, serialised.
#pragma once

#include <cstdint>
#include <string>

#include "analytics/sdk/object_node.h"

namespace analytics_sdk {

inline constexpr const char* kLibName = "cpp";
inline constexpr const char* kLibVersion = "0.8";

// Milliseconds since 1970 from the system clock.
int64_t CurrentTimeMs();

// Validates the properties and the event name (messages on the error stream), overlays the event's
// properties on the super properties, takes "$time" and "$project" out and serialises the record.
// False when the event is dropped.
bool BuildRecord(const std::string& eventName, const utils::ObjectNode& eventProperties,
                 const utils::ObjectNode& superProperties, const std::string& distinctId,
                 int64_t nowMs, std::string& record);

}  // namespace analytics_sdk
