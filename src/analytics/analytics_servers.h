// Where the analytics records go and under which names.
#pragma once

#include <string>
#include <vector>

namespace analytics {

inline constexpr const char* kProjectName = "UA_Nuv_Web";
inline constexpr const char* kTrackerTid = "UA-Nuv-Web";
inline constexpr int kCollectorPort = 8106;

// "https://" + host + ":8106/sa?project=UA_Nuv_Web".
std::string CollectorUrl(const std::string& host);
// The primary and then the fallback collector of the endpoint table.
std::vector<std::string> DefaultServerUrls();

}  // namespace analytics
