#include "platform/endpoints.h"

#include <openssl/evp.h>

#include <string_view>

#include "platform/os/resources.h"
#include "xml/utf.h"
#include "xml/xml_document.h"

namespace {

constexpr int kEndpointResourceId = 150;

std::string Child(XmlDocument& doc, std::u16string_view name) {
  std::u16string text;
  doc.ChildText(name, text);
  return WideToUtf8(text);
}

}  // namespace

bool ParseEndpoints(const std::string& utf8Xml, Endpoints& out) {
  XmlDocument doc;
  if (!doc.LoadText(Utf8ToWide(utf8Xml)) || !doc.NextElement(u"Endpoints")) return false;
  out.platformBaseUrl = Child(doc, u"PlatformBaseUrl");
  out.licenseUrl = Child(doc, u"LicenseUrl");
  out.apiPrimaryBase = Child(doc, u"ApiPrimaryBase");
  out.apiFallbackBase = Child(doc, u"ApiFallbackBase");
  out.analyticsPrimaryHost = Child(doc, u"AnalyticsPrimaryHost");
  out.analyticsFallbackHost = Child(doc, u"AnalyticsFallbackHost");
  out.httpDnsPrimary = Child(doc, u"HttpDnsPrimary");
  out.httpDnsSecondary = Child(doc, u"HttpDnsSecondary");
  out.httpDnsUidStored = Child(doc, u"HttpDnsUid");
  out.httpDnsAkStored = Child(doc, u"HttpDnsAk");
  out.httpDnsSecretStored = Child(doc, u"HttpDnsSecret");
  out.productWebBase = Child(doc, u"ProductWebBase");
  return true;
}

const Endpoints& GetEndpoints() {
  // Read once: the table is compiled in (or overlaid before the process starts).
  static const Endpoints endpoints = [] {
    Endpoints e;
    if (auto bytes = nuv::os::LoadResource("XML", kEndpointResourceId)) ParseEndpoints(*bytes, e);
    return e;
  }();
  return endpoints;
}

std::string DecodeStoredCredential(const std::string& stored) {
  const std::string_view filler = kEndpointFiller;
  if (stored.size() < kEndpointFillerAt + filler.size() ||
      std::string_view(stored).substr(kEndpointFillerAt, filler.size()) != filler)
    return {};
  std::string base64 = stored.substr(0, kEndpointFillerAt) + stored.substr(kEndpointFillerAt + filler.size());
  if (base64.empty() || base64.size() % 4 != 0) return {};
  std::string decoded(base64.size() / 4 * 3, '\0');
  int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(decoded.data()),
                          reinterpret_cast<const unsigned char*>(base64.data()),
                          static_cast<int>(base64.size()));
  if (n < 0) return {};
  // EVP_DecodeBlock counts the padding as data bytes.
  size_t padding = base64.size() - base64.find_last_not_of('=') - 1;
  if (padding > 2) return {};
  decoded.resize(static_cast<size_t>(n) - padding);
  return decoded;
}
