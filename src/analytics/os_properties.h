// The operating-system super properties, with the values this platform gives.
#pragma once

#include <string>

#include "analytics/sdk/object_node.h"

namespace analytics {

// "ostype", "os_version" (kernel major.minor), "osbit", "oslang", "oszone".
analytics_sdk::PropertiesNode OsSuperProperties();

// The language part of a POSIX locale name: "de_DE.UTF-8" -> "de"; "en" for an empty, "C" or
// "POSIX" name.
std::string LanguageOfLocale(const std::string& localeName);
// Whole hours east of UTC, truncated towards zero, from the offset in seconds.
int64_t ZoneHours(long utcOffsetSeconds);

}  // namespace analytics
