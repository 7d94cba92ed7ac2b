// The HTTP DNS service's reply: only dotted IPv4 addresses may come out of it.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "http/http_dns.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> addresses = {"kept"};
  const bool found = ParseHttpDnsReply(reply, addresses);
  FUZZ_CHECK(found == (addresses.size() > 1));
  FUZZ_CHECK(addresses.front() == "kept");
  for (size_t i = 1; i < addresses.size(); ++i) {
    // The address goes into the connection's resolve entry as a C string: all of it must be
    // the address, with nothing after a NUL.
    in_addr a{};
    FUZZ_CHECK(addresses[i].find('\0') == std::string::npos);
    FUZZ_CHECK(inet_pton(AF_INET, addresses[i].c_str(), &a) == 1);
  }
  return 0;
}
