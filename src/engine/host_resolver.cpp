#include "engine/host_resolver.h"

#include "engine/downloader_types.h"
#include "engine/url_host.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace ns_NUK {

bool CHostResolver::ResolveHost(const std::string& url, bool force, IResolveTarget& target) {
  std::u16string wideUrl = Utf8ToWide(url);
  std::string host8 = UrlHost(url);

  bool known = table_.IsHostKnown(wideUrl);
  uint32_t literal = 0;
  if (known && force && ParseIPv4Address(SplitHostPort(host8).name, literal)) {
    // An address has no cached name to flush: only its probes run again.
    table_.ForgetHost(Utf8ToWide(host8));
    known = false;
  } else if (known && force) {
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
