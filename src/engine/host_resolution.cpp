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
  // Over the process-wide host table, and like it never destroyed: downloaders may outlive exit.
  static CHostResolver* resolver = new CHostResolver();
  return resolver;
}

void SetHostResolver(IHostResolver* resolver) {
  gResolver.store(resolver);
}

IHostResolver& NoHostResolution() {
  static NoResolution* none = new NoResolution();  // never destroyed, as above
  return *none;
}

}  // namespace ns_NUK
