#include "options.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>

namespace delay_proxy {
namespace {

bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty() && value <= max;
}

}  // namespace

std::optional<Address> ParseAddress(const std::string& text) {
  std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  std::string host = text.substr(0, colon);
  unsigned long long port = 0;
  if (!ParseUnsigned(text.substr(colon + 1), 65535, port)) return std::nullopt;

  Address address;
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&address.storage);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), &in6->sin6_addr) != 1) {
      return std::nullopt;
    }
    address.length = sizeof(sockaddr_in6);
  } else {
    auto* in4 = reinterpret_cast<sockaddr_in*>(&address.storage);
    in4->sin_family = AF_INET;
    in4->sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &in4->sin_addr) != 1) return std::nullopt;
    address.length = sizeof(sockaddr_in);
  }
  return address;
}

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error) {
  Options options;
  bool haveListen = false, haveUpstream = false, haveDelay = false;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (i + 1 >= argc) {
      error = "missing value after " + name;
      return std::nullopt;
    }
    std::string value = argv[++i];
    unsigned long long number = 0;
    if (name == "--listen" || name == "--upstream") {
      std::optional<Address> address = ParseAddress(value);
      if (!address) {
        error = "not a numeric HOST:PORT: " + value;
        return std::nullopt;
      }
      (name == "--listen" ? options.listen : options.upstream) = *address;
      (name == "--listen" ? haveListen : haveUpstream) = true;
    } else if (name == "--delay-ms") {
      if (!ParseUnsigned(value, 60'000, number)) {
        error = "--delay-ms wants 0..60000: " + value;
        return std::nullopt;
      }
      options.delay = std::chrono::milliseconds(number);
      haveDelay = true;
    } else if (name == "--window") {
      if (!ParseUnsigned(value, 1ull << 32, number) || number == 0) {
        error = "--window wants 1..4294967296 bytes: " + value;
        return std::nullopt;
      }
      options.window = static_cast<std::size_t>(number);
    } else {
      error = "unknown option " + name;
      return std::nullopt;
    }
  }
  if (!haveListen || !haveUpstream || !haveDelay) {
    error = "--listen, --upstream and --delay-ms are required";
    return std::nullopt;
  }
  return options;
}

}  // namespace delay_proxy
