// Name lookup through the public HTTP DNS service, with its signed query.
#pragma once

#include <string>
#include <vector>

struct HttpDnsConfig {
  std::string primary;  // scheme and IP literal, no trailing '/'
  std::string secondary;
  std::string uid;     // account id, sent in the query
  std::string ak;      // access-key id, sent in the query
  std::string secret;  // used only inside the digest
};

// From the endpoint table (credentials decoded from their stored form) unless replaced.
HttpDnsConfig GetHttpDnsConfig();
// Replaces the configuration for the rest of the process (tests and demos).
void SetHttpDnsConfig(const HttpDnsConfig& config);

// Appends the IPv4 addresses the service returns for `host` to `addresses`; true when the reply
// held at least one. Asks the secondary endpoint when the primary gives no reply.
bool HttpDnsResolve(const std::string& host, std::vector<std::string>& addresses);

// The query part for `host` at time `ts`:
// "/resolve?type=1&short=1&uid=..&ak=..&name=..&ts=..&key=.." where key = lower-case hex SHA-256 of
// uid + secret + ts + host + ak.
std::string HttpDnsQuery(const HttpDnsConfig& config, const std::string& host,
                         const std::string& ts);

// Parses a one-line JSON array of quoted address texts; appends the valid dotted IPv4 ones.
bool ParseHttpDnsReply(const std::string& reply, std::vector<std::string>& addresses);
