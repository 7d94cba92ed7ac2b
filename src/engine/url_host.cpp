#include "engine/url_host.h"

#include <arpa/inet.h>

namespace ns_NUK {

std::string UrlHost(const std::string& url) {
  const size_t sep = url.find("://");
  if (sep == std::string::npos) return {};
  const size_t start = sep + 3;
  const size_t slash = url.find('/', start);
  return url.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
}

HostPort SplitHostPort(const std::string& host) {
  // The port follows the closing bracket of an IPv6 literal, else the last colon.
  const size_t close = host.rfind(']');
  const size_t colon = host.rfind(':');
  if (colon == std::string::npos || (close != std::string::npos && colon < close))
    return {host, {}};
  return {host.substr(0, colon), host.substr(colon + 1)};
}

bool ParseIPv4Address(const std::string& name, uint32_t& address) {
  in_addr a{};
  if (inet_pton(AF_INET, name.c_str(), &a) != 1) return false;
  address = a.s_addr;
  return true;
}

bool IsIPv6Literal(const std::string& name) {
  return !name.empty() && name.front() == '[';
}

std::vector<std::string> ResolveEntries(const std::string& host, const std::string& ip) {
  if (host.empty() || ip.empty()) return {};
  const HostPort hp = SplitHostPort(host);
  if (!hp.port.empty()) return {hp.name + ":" + hp.port + ":" + ip};
  return {hp.name + ":80:" + ip, hp.name + ":443:" + ip};
}

}  // namespace ns_NUK
