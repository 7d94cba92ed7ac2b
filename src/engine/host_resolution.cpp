#include "engine/host_resolution.h"

#include <atomic>

namespace ns_NUK {

namespace {
std::atomic<IHostResolver*> gResolver{nullptr};
}

IHostResolver* GetHostResolver() { return gResolver.load(); }
void SetHostResolver(IHostResolver* resolver) { gResolver.store(resolver); }

}  // namespace ns_NUK
