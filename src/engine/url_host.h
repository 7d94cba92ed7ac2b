// The host part of a package URL as the engine uses it: the text between "://" and the next "/",
// the name in it that is resolved (without a written port), whether that name is an address, and
// the CURLOPT_RESOLVE entries that pin it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ns_NUK {

// The text between "://" and the next "/" of a URL, a written port included; empty when it has
// no "://".
std::string UrlHost(const std::string& url);

struct HostPort {
  std::string name;  // what a resolver is asked for; an IPv6 literal keeps its brackets
  std::string port;  // as written after the name; empty when none
};
// "name:port", "name", "[v6]:port" or "[v6]".
HostPort SplitHostPort(const std::string& host);

// True when the name is an IPv4 address in dotted decimal; the address in network byte order.
bool ParseIPv4Address(const std::string& name, uint32_t& address);
// True for a bracketed IPv6 literal: no name to resolve, and not an address this engine pins.
bool IsIPv6Literal(const std::string& name);

// CURLOPT_RESOLVE entries pinning the host of a URL to ip: "name:port:ip" for a written port,
// else "name:80:ip" and "name:443:ip". Empty when host or ip is empty.
std::vector<std::string> ResolveEntries(const std::string& host, const std::string& ip);

}  // namespace ns_NUK
