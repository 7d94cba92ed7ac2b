#include "engine/host_resolution.h"

#include <atomic>

#include "engine/host_resolver.h"

namespace ns_NUK {

namespace {

std::atomic<IHostResolver*> gResolver{nullptr};

class NoResolution : public IHostResolver {
 public:
  bool ResolveHost(const std::string&, bool, IResolveTarget& target) override {
    target.Addresses().SetAddressUses({});
    return false;
  }
};

}  // namespace

IHostResolver* GetHostResolver() {
  if (IHostResolver* r = gResolver.load()) return r;
  static CHostResolver resolver;  // over the process-wide host table
  return &resolver;
}

void SetHostResolver(IHostResolver* resolver) {
  gResolver.store(resolver);
}

IHostResolver& NoHostResolution() {
  static NoResolution none;
  return none;
}

}  // namespace ns_NUK
