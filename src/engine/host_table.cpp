#include "engine/host_table.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <cstdlib>

#include "engine/url_host.h"
#include "http/curl_request.h"
#include "http/http_dns.h"
#include "log/simple_log.h"
#include "platform/os/dns_cache.h"
#include "platform/os/resolver.h"
#include "xml/utf.h"

namespace ns_NUK {

namespace {

// Probing stops once this many addresses agree on one length.
constexpr size_t kEnoughAgreeing = 10;

// The last occurrence, ignoring case: header names are case-insensitive (HTTP/2 sends them in
// lower case).
size_t FindLastNoCase(const std::string& text, const char* needle) {
  size_t n = std::char_traits<char>::length(needle);
  if (text.size() < n) return std::string::npos;
  for (size_t i = text.size() - n + 1; i-- > 0;) {
    if (strncasecmp(text.c_str() + i, needle, n) == 0) return i;
  }
  return std::string::npos;
}

bool IsHttps(const std::u16string& scheme) {
  return scheme.size() == 5 && (scheme[0] | 0x20) == u'h' && (scheme[1] | 0x20) == u't' &&
         (scheme[2] | 0x20) == u't' && (scheme[3] | 0x20) == u'p' && (scheme[4] | 0x20) == u's';
}

// Plain HTTP probes put the address, with the URL's own port, in the URL. An HTTPS probe keeps
// the host name in the URL and pins it to the address instead, so the certificate is still
// checked against the real name.
int64_t ProbeAddress(const std::u16string& url, const UrlParts& parts, const std::string& address) {
  const std::string host8 = WideToUtf8(parts.host);
  if (!IsHttps(parts.scheme)) {
    const std::string port = SplitHostPort(host8).port;
    const std::string hostPort = port.empty() ? address : address + ":" + port;
    return ProbeContentLength(parts.scheme + u"://" + Utf8ToWide(hostPort) + parts.path,
                              parts.host);
  }
  return ProbeContentLength(url, parts.host, ResolveEntries(host8, address));
}

}  // namespace

bool ParseUrlParts(const std::u16string& url, UrlParts& parts) {
  size_t sep = url.find(u"://");
  if (sep == std::u16string::npos) return false;
  parts.scheme = url.substr(0, sep);
  size_t hostStart = sep + 3;
  size_t slash = url.find(u'/', hostStart);
  if (slash == std::u16string::npos) {
    parts.host = url.substr(hostStart);
    parts.path.clear();
  } else {
    parts.host = url.substr(hostStart, slash - hostStart);
    parts.path = url.substr(slash);
  }
  return true;
}

std::string AddressText(uint32_t address) {
  in_addr a{};
  a.s_addr = address;
  char text[INET_ADDRSTRLEN] = {};
  if (!inet_ntop(AF_INET, &a, text, sizeof text)) return {};
  return text;
}

int64_t ParseContentLength(const std::string& reply) {
  static const char kName[] = "Content-Length:";
  size_t at = FindLastNoCase(reply, kName);
  if (at == std::string::npos) return 0;
  size_t valueStart = at + sizeof kName - 1;
  size_t end = reply.find("\r\n", valueStart);
  if (end == std::string::npos) return 0;
  std::string value;
  for (size_t i = valueStart; i < end; ++i)
    if (reply[i] != ' ') value.push_back(reply[i]);
  long long length = std::strtoll(value.c_str(), nullptr, 10);
  // A negative length is no size at all; it must not win the vote.
  return length > 0 ? static_cast<int64_t>(length) : 0;
}

namespace {

// The status of the final answer in a captured header text: each block (one per redirect or
// interim answer) begins with its status line and ends with an empty line; the body follows.
int FinalStatusCode(const std::string& reply) {
  int status = 0;
  size_t pos = 0;
  while (reply.compare(pos, 5, "HTTP/") == 0) {
    const size_t space = reply.find(' ', pos);
    const size_t lineEnd = reply.find("\r\n", pos);
    if (space == std::string::npos || space > lineEnd) break;
    status = std::atoi(reply.c_str() + space + 1);
    const size_t blockEnd = reply.find("\r\n\r\n", pos);
    if (blockEnd == std::string::npos) break;
    pos = blockEnd + 4;
  }
  return status;
}

}  // namespace

int64_t ProbeContentLength(const std::u16string& url, const std::u16string& host,
                           const std::vector<std::string>& resolve) {
  HeaderList headers = {"connection: close", "Cache-Control: no-cache", "Pragma: no-cache"};
  if (!host.empty()) headers.push_back("Host: " + WideToUtf8(host));
  for (RequestKind kind : {kRequestHead, kRequestGet}) {
    int code = 0;
    std::string reply = CurlRequest(kind, url, headers, false, true, "", code, resolve);
    // An error page's length is not the package's: only a success answer names a size.
    const int status = FinalStatusCode(reply);
    if (status < 200 || status > 299) continue;
    int64_t length = ParseContentLength(reply);
    if (length != 0) return length;
  }
  return 0;
}

CHostTable::AddressSet* CHostTable::FindHost(const std::u16string& host) {
  auto it = addresses_.find(host);
  return it == addresses_.end() ? nullptr : &it->second;
}

bool CHostTable::QueryHost(const std::u16string& host) {
  std::lock_guard<std::mutex> guard(lock_);
  return QueryHostLocked(host);
}

bool CHostTable::QueryHostLocked(const std::u16string& host) {
  std::string host8 = WideToUtf8(host);
  if (host.empty() || host8.empty()) return false;
  // A written port is no part of a name: neither resolver would know "name:port".
  const std::string name = SplitHostPort(host8).name;
  uint32_t literal = 0;
  if (ParseIPv4Address(name, literal)) {
    addresses_[host] = {literal};
    NUV_LOG(3, "[INFO] host=[%s] is an address, not resolved.", host8.c_str());
    return true;
  }
  if (IsIPv6Literal(name) || name.empty()) {
    NUV_LOG(2, "[WARN] host=[%s] is no name to resolve.", host8.c_str());
    return false;
  }
  AddressSet& set = addresses_[host];

  std::vector<uint32_t> answer;
  if (ResolveIPv4(name, answer)) {
    set.clear();
    set.insert(answer.begin(), answer.end());
  }
  if (set.empty()) {
    std::vector<std::string> texts;
    HttpDnsResolve(name, texts);
    NUV_LOG(3, "[INFO] query httpdns, host=[%s], ip count=[%d].", name.c_str(),
            static_cast<int>(texts.size()));
    for (const std::string& text : texts) {
      in_addr a{};
      if (inet_pton(AF_INET, text.c_str(), &a) == 1) set.insert(a.s_addr);
    }
  }
  NUV_LOG(3, "[INFO] query host=[%s], ip count=[%d].", name.c_str(), static_cast<int>(set.size()));
  return !set.empty();
}

bool CHostTable::InitHost(const std::u16string& url) {
  std::lock_guard<std::mutex> guard(lock_);
  if (url.empty()) {
    NUV_LOG(1, "[ERROR] init host url is empty.");
    return false;
  }
  UrlParts parts;
  if (!ParseUrlParts(url, parts) || parts.host.empty()) {
    NUV_LOG(1, "[ERROR] parse url failed!");
    return false;
  }
  if (AddressSet* known = FindHost(parts.host); known && !known->empty()) return true;
  if (!QueryHostLocked(parts.host)) {
    NUV_LOG(1, "[ERROR] query host failed!");
    return false;
  }

  AddressSet& set = addresses_[parts.host];
  std::map<int64_t, std::vector<uint32_t>> groups;  // length -> addresses that answered it
  for (uint32_t address : set) {
    std::string text = AddressText(address);
    NUV_LOG(3, "[INFO] host ip=[%s]", text.c_str());
    int64_t length = ProbeAddress(url, parts, text);
    if (length == 0) continue;
    std::vector<uint32_t>& group = groups[length];
    group.push_back(address);
    if (group.size() >= kEnoughAgreeing) break;
  }

  // The largest group wins; among equal counts the smaller length, as groups ascend by length.
  const std::vector<uint32_t>* winner = nullptr;
  int64_t winnerLength = 0;
  for (const auto& [length, group] : groups) {
    if (winner && group.size() <= winner->size()) continue;
    winner = &group;
    winnerLength = length;
    NUV_LOG(3, "[INFO] ulfs_max=[%ld], count=[%d]", static_cast<long>(length),
            static_cast<int>(group.size()));
  }
  if (winner && winnerLength != 0) {
    sizes_[url] = winnerLength;
    for (auto it = set.begin(); it != set.end();) {
      if (std::find(winner->begin(), winner->end(), *it) != winner->end()) {
        ++it;
        continue;
      }
      NUV_LOG(2, "[WARN] remove host ip=[%s]", AddressText(*it).c_str());
      it = set.erase(it);
    }
  }
  NUV_LOG(3, "[INFO] init host, vaild ip count=[%d]", static_cast<int>(set.size()));
  return !set.empty();
}

bool CHostTable::IsHostKnown(const std::u16string& url) {
  std::lock_guard<std::mutex> guard(lock_);
  UrlParts parts;
  if (!ParseUrlParts(url, parts)) return false;
  AddressSet* set = FindHost(parts.host);
  return set && !set->empty();
}

bool CHostTable::HostAddressText(const std::u16string& url, std::string& host,
                                 std::string& addresses) {
  std::lock_guard<std::mutex> guard(lock_);
  UrlParts parts;
  if (!ParseUrlParts(url, parts)) return false;
  host = WideToUtf8(parts.host);
  addresses.clear();
  if (AddressSet* set = FindHost(parts.host)) {
    for (uint32_t address : *set) {
      if (!addresses.empty()) addresses += ",";
      addresses += AddressText(address);
    }
  }
  return !addresses.empty();
}

bool CHostTable::AddressList(const std::string& host, std::vector<std::string>& list) {
  std::lock_guard<std::mutex> guard(lock_);
  list.clear();
  if (AddressSet* set = FindHost(Utf8ToWide(host))) {
    for (uint32_t address : *set) list.push_back(AddressText(address));
  }
  return !list.empty();
}

int64_t CHostTable::ProbedSize(const std::u16string& url) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = sizes_.find(url);
  return it == sizes_.end() ? 0 : it->second;
}

void CHostTable::ClearHosts() {
  std::lock_guard<std::mutex> guard(lock_);
  addresses_.clear();
  FlushDnsCache();
}

void CHostTable::ForgetHost(const std::u16string& host) {
  std::lock_guard<std::mutex> guard(lock_);
  addresses_.erase(host);
}

CHostTable& GetHostTable() {
  static CHostTable* table = new CHostTable();  // never destroyed: downloaders may outlive exit
  return *table;
}

}  // namespace ns_NUK
