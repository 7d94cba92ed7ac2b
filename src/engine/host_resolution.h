// The seam between a downloader and host resolution: what a resolver may do to the downloader
// that asked, and the process-wide resolver new downloaders use.
#pragma once

#include <cstdint>
#include <string>

#include "engine/address_uses.h"

namespace ns_NUK {

// The downloader as its host resolution sees it (all calls on the download thread).
class IResolveTarget {
 public:
  virtual ~IResolveTarget() = default;
  virtual int CurrentResult() const = 0;
  // The package size the probes established.
  virtual void SetTotal(int64_t total) = 0;
  // Sends one notification of the downloader (types 14, 15, 16); pointer payloads need only live
  // for the call.
  virtual void SendNotification(int type, intptr_t payload, int extra1 = 0, int extra2 = 0) = 0;
  virtual AddressUses& Addresses() = 0;
};

class IHostResolver {
 public:
  virtual ~IHostResolver() = default;
  // Resolves the URL's host (forced: flush and resolve again), fills the target's address uses
  // and may set its total; false when no address could be had (the URL's host is then used
  // directly by libcurl).
  virtual bool ResolveHost(const std::string& url, bool force, IResolveTarget& target) = 0;
};

// The resolver downloaders use: the one installed, else the host-table resolution.
IHostResolver* GetHostResolver();
// Installs (or with null restores the default) the process-wide resolver; the caller keeps
// ownership. Only while no downloader runs: each one holds the pointer for its resolution.
void SetHostResolver(IHostResolver* resolver);
// A resolver that finds nothing and says nothing: connections use the URL's host directly.
IHostResolver& NoHostResolution();

}  // namespace ns_NUK
