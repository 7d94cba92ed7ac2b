#include "analytics/analytics_servers.h"

#include "platform/endpoints.h"

namespace analytics {

std::string CollectorUrl(const std::string& host) {
  return "https://" + host + ":" + std::to_string(kCollectorPort) + "/sa?project=" + kProjectName;
}

std::vector<std::string> DefaultServerUrls() {
  const Endpoints& e = GetEndpoints();
  return {CollectorUrl(e.analyticsPrimaryHost), CollectorUrl(e.analyticsFallbackHost)};
}

}  // namespace analytics
