// System name resolution (IPv4 only), behind an interface so tests can answer with chosen
// addresses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class IResolver {
 public:
  virtual ~IResolver() = default;
  // Fills `addresses` (network byte order) and returns true when the resolver answered with at
  // least one IPv4 address; false (and `addresses` untouched) otherwise.
  virtual bool ResolveIPv4(const std::string& name, std::vector<uint32_t>& addresses) = 0;
};

// The resolver in use: the system's getaddrinfo unless a test replaced it.
IResolver& GetResolver();
// Replaces the resolver for the whole process; null restores the system one. The caller keeps
// ownership and must keep it alive while it is installed.
void SetResolverForTest(IResolver* resolver);

// Shorthand for GetResolver().ResolveIPv4.
bool ResolveIPv4(const std::string& name, std::vector<uint32_t>& addresses);
