// The maker's service addresses and credentials, from the compiled-in endpoint table (resource
// "XML" 150, resources/endpoints.xml). A test or demo points them at loopback by overlaying that
// file through NUV_RESOURCE_DIR.
#pragma once

#include <string>

struct Endpoints {
  std::string platformBaseUrl;    // default "ServerHost" of the product configuration, ends in '/'
  std::string licenseUrl;         // default licence page
  std::string apiPrimaryBase;     // service API, scheme and host, no trailing '/'
  std::string apiFallbackBase;
  std::string analyticsPrimaryHost;   // host name only; the client adds scheme, port and path
  std::string analyticsFallbackHost;
  std::string httpDnsPrimary;     // HTTP DNS endpoints, scheme and IP literal, no trailing '/'
  std::string httpDnsSecondary;
  // HTTP DNS credentials in their stored form: Base64 text with the filler kEndpointFiller
  // inserted after its first kEndpointFillerAt characters.
  std::string httpDnsUidStored;
  std::string httpDnsAkStored;
  std::string httpDnsSecretStored;
  std::string productWebBase;     // product web service, scheme and host, no trailing '/'
};

inline constexpr const char* kEndpointFiller = "~nV~";
inline constexpr size_t kEndpointFillerAt = 4;

// Loaded once from the resource table; missing values stay empty.
const Endpoints& GetEndpoints();
// Parses an endpoint document (exposed for tests); false when it is not a well-formed <Endpoints>.
bool ParseEndpoints(const std::string& utf8Xml, Endpoints& out);
// Cuts the filler out of a stored credential and Base64-decodes the rest; empty when malformed.
std::string DecodeStoredCredential(const std::string& stored);
