#include "platform/os/resolver.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>

namespace {

class SystemResolver : public IResolver {
 public:
  bool ResolveIPv4(const std::string& name, std::vector<uint32_t>& addresses) override {
    if (name.empty()) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0 || !list) return false;
    std::vector<uint32_t> found;
    for (addrinfo* it = list; it; it = it->ai_next) {
      if (it->ai_family != AF_INET || !it->ai_addr) continue;
      uint32_t a = reinterpret_cast<const sockaddr_in*>(it->ai_addr)->sin_addr.s_addr;
      // getaddrinfo repeats an address once per socket type; keep one of each.
      if (std::find(found.begin(), found.end(), a) == found.end()) found.push_back(a);
    }
    freeaddrinfo(list);
    if (found.empty()) return false;
    addresses = std::move(found);
    return true;
  }
};

SystemResolver& System() {
  static SystemResolver system;
  return system;
}

std::atomic<IResolver*> g_override{nullptr};

}  // namespace

IResolver& GetResolver() {
  IResolver* r = g_override.load();
  return r ? *r : System();
}

void SetResolverForTest(IResolver* resolver) {
  g_override.store(resolver);
}

bool ResolveIPv4(const std::string& name, std::vector<uint32_t>& addresses) {
  return GetResolver().ResolveIPv4(name, addresses);
}
