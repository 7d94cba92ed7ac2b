#include "http/http_dns.h"

#include <arpa/inet.h>
#include <openssl/evp.h>

#include <ctime>
#include <mutex>
#include <optional>

#include "http/curl_request.h"
#include "platform/endpoints.h"
#include "xml/utf.h"

namespace {

std::mutex g_configLock;  // guards g_config
std::optional<HttpDnsConfig> g_config;

std::string Sha256Hex(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr)) return {};
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < length; ++i) {
    out.push_back(kHex[digest[i] >> 4]);
    out.push_back(kHex[digest[i] & 0xF]);
  }
  return out;
}

std::string TrimSpaces(const std::string& text, const char* set) {
  size_t first = text.find_first_not_of(set);
  if (first == std::string::npos) return {};
  size_t last = text.find_last_not_of(set);
  return text.substr(first, last - first + 1);
}

bool IsDottedIPv4(const std::string& text) {
  in_addr a{};
  // inet_pton reads a C string: "1.2.3.4\0junk" would pass with its junk.
  return text.find('\0') == std::string::npos && inet_pton(AF_INET, text.c_str(), &a) == 1;
}

}  // namespace

HttpDnsConfig GetHttpDnsConfig() {
  std::lock_guard<std::mutex> guard(g_configLock);
  if (!g_config) {
    const Endpoints& e = GetEndpoints();
    g_config = HttpDnsConfig{
        e.httpDnsPrimary, e.httpDnsSecondary, DecodeStoredCredential(e.httpDnsUidStored),
        DecodeStoredCredential(e.httpDnsAkStored), DecodeStoredCredential(e.httpDnsSecretStored)};
  }
  return *g_config;
}

void SetHttpDnsConfig(const HttpDnsConfig& config) {
  std::lock_guard<std::mutex> guard(g_configLock);
  g_config = config;
}

std::string HttpDnsQuery(const HttpDnsConfig& config, const std::string& host,
                         const std::string& ts) {
  std::string key = Sha256Hex(config.uid + config.secret + ts + host + config.ak);
  return "/resolve?type=1&short=1&uid=" + config.uid + "&ak=" + config.ak + "&name=" + host +
         "&ts=" + ts + "&key=" + key;
}

bool ParseHttpDnsReply(const std::string& reply, std::vector<std::string>& addresses) {
  // A trailing newline or padding must not be mistaken for the closing bracket.
  std::string line = TrimSpaces(reply, " \t\r\n");
  if (line.size() < 2) return false;
  std::string inner = line.substr(1, line.size() - 2);
  size_t before = addresses.size();
  size_t start = 0;
  while (start <= inner.size()) {
    size_t end = inner.find(',', start);
    if (end == std::string::npos) end = inner.size();
    std::string piece = TrimSpaces(inner.substr(start, end - start), " ");
    // Only a quoted dotted address counts; anything else would become a bogus 255.255.255.255.
    if (piece.size() >= 2) {
      std::string address = piece.substr(1, piece.size() - 2);
      if (IsDottedIPv4(address)) addresses.push_back(address);
    }
    start = end + 1;
  }
  return addresses.size() > before;
}

bool HttpDnsResolve(const std::string& host, std::vector<std::string>& addresses) {
  HttpDnsConfig config = GetHttpDnsConfig();
  std::string query =
      HttpDnsQuery(config, host, std::to_string(static_cast<long long>(time(nullptr))));
  int code = 0;
  std::string reply =
      CurlRequest(kRequestGet, Utf8ToWide(config.primary + query), {}, true, false, "", code);
  if (reply.empty() || code != 0) {
    code = 0;
    reply =
        CurlRequest(kRequestGet, Utf8ToWide(config.secondary + query), {}, true, false, "", code);
  }
  return ParseHttpDnsReply(reply, addresses);
}
