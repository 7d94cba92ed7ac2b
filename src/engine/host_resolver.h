// A downloader's host resolution over the host table: verified addresses into its address uses,
// the probed size as its total, and the notifications 14, 15 and 16.
#pragma once

#include <string>

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

}  // namespace ns_NUK
