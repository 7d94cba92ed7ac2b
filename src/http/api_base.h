// The service client's base URLs. One mutex guards the current API base URL; the analytics
// common properties take the same lock, so it is exposed here for them.
#pragma once

#include <mutex>
#include <string>

// Guards the current API base URL and the service API hosts below. Held only for short reads and
// writes, never across a request.
std::mutex& ApiBaseLock();

// The base URL the product configuration published ("ServerHost", normalised with a trailing
// '/'); empty until published.
std::string CurrentApiBase();
void SetCurrentApiBase(const std::string& baseUrl);
// For callers that already hold ApiBaseLock() (the analytics common properties).
std::string& CurrentApiBaseLocked();

// The service API hosts used by host switching: scheme and host, no trailing '/'.
struct ApiHosts {
  std::string primary;
  std::string fallback;
};
// From the endpoint table unless SetApiHosts replaced them.
ApiHosts GetApiHosts();
// Replaces the hosts for the rest of the process (tests and demos point them at loopback).
void SetApiHosts(const ApiHosts& hosts);
