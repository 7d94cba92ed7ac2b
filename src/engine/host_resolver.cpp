#include "engine/host_resolver.h"

#include "engine/downloader_types.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace ns_NUK {

std::string UrlHost(const std::string& url) {
  size_t sep = url.find("://");
  if (sep == std::string::npos) return {};
  size_t start = sep + 3;
  size_t slash = url.find('/', start);
  return url.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
}

std::vector<std::string> ResolveEntries(const std::string& host, const std::string& ip) {
  if (host.empty() || ip.empty()) return {};
  return {host + ":80:" + ip, host + ":443:" + ip};
}

bool CHostResolver::ResolveHost(const std::string& url, bool force, IResolveTarget& target) {
  std::u16string wideUrl = Utf8ToWide(url);
  std::string host8 = UrlHost(url);

  bool known = table_.IsHostKnown(wideUrl);
  if (known && force) {
    table_.ClearHosts();
    int32_t current = target.CurrentResult();
    target.SendNotification(kNotifyDnsCacheCleared, reinterpret_cast<intptr_t>(&current));
    known = false;
  }

  bool resolved = known;
  if (!known && table_.InitHost(wideUrl)) {
    resolved = true;
    target.SetTotal(table_.ProbedSize(wideUrl));
    std::string host;
    std::string addresses;
    if (table_.HostAddressText(wideUrl, host, addresses)) {
      std::string text = host + ":" + addresses;
      target.SendNotification(kNotifyDnsQueried, reinterpret_cast<intptr_t>(text.c_str()));
    } else {
      NUV_LOG(1, "[ERROR] multi, get dns info failed! url=[%s].", url.c_str());
    }
  }

  if (resolved) {
    std::vector<std::string> list;
    table_.AddressList(host8, list);
    if (target.Addresses().SetAddressUses(list)) return true;
  }
  // No fixed addresses then: stale ones from an earlier resolution must not pin connections.
  target.Addresses().SetAddressUses({});
  NUV_LOG(1, "[ERROR] multi, get dns info failed!");
  int32_t error = 2;
  target.SendNotification(kNotifyPackageInfoFailed, reinterpret_cast<intptr_t>(&error));
  return false;
}

}  // namespace ns_NUK
