#include "engine/address_uses.h"

namespace ns_NUK {

bool AddressUses::SetAddressUses(const std::vector<std::string>& list) {
  uses_.clear();
  for (const std::string& a : list) uses_.emplace(a, 0);
  return !uses_.empty();
}

std::string AddressUses::LeastUsedAddress() {
  auto best = uses_.end();
  for (auto it = uses_.begin(); it != uses_.end(); ++it) {
    if (best == uses_.end() || it->second < best->second) best = it;
  }
  if (best == uses_.end()) return {};
  ++best->second;
  return best->first;
}

}  // namespace ns_NUK
