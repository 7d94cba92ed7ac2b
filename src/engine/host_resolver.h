// A downloader's host resolution over the host table: verified addresses into its address uses,
// the probed size as its total, and the notifications 14, 15 and 16.
#pragma once

#include <string>
#include <vector>

#include "engine/host_resolution.h"
#include "engine/host_table.h"

namespace ns_NUK {

class CHostResolver : public IHostResolver {
 public:
  // Uses the process-wide host table unless a test hands in its own.
  explicit CHostResolver(CHostTable& table = GetHostTable()) : table_(table) {}
  bool ResolveHost(const std::string& url, bool force, IResolveTarget& target) override;

 private:
  CHostTable& table_;
};

// The text between "://" and the next "/" of a URL; empty when it has no "://".
std::string UrlHost(const std::string& url);

// CURLOPT_RESOLVE entries pinning host to ip for ports 80 and 443, in that order:
// "host:80:ip", "host:443:ip". Empty when host or ip is empty.
std::vector<std::string> ResolveEntries(const std::string& host, const std::string& ip);

}  // namespace ns_NUK
