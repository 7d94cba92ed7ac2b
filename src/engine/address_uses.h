// A downloader's addresses of its host with the number of connections and size queries started
// on each; spreads new connections over the least-used one. Owned by one download thread.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ns_NUK {

class AddressUses {
 public:
  // Clears the table and enters every address with count 0; true when the table is not empty.
  bool SetAddressUses(const std::vector<std::string>& list);
  // The entry with the smallest count (first in text order among equals); its count goes up by
  // one. Empty when the table is empty.
  std::string LeastUsedAddress();
  bool Empty() const { return uses_.empty(); }
  const std::map<std::string, int>& Uses() const { return uses_; }

 private:
  std::map<std::string, int> uses_;
};

}  // namespace ns_NUK
