#include "session/server_config.h"

#include <array>
#include <cstdio>

#include "analytics/common_properties.h"
#include "analytics/usage_tracker.h"
#include "platform/endpoints.h"
#include "platform/registry.h"
#include "platform/version_text.h"
#include "http/curl_request.h"
#include "session/config_number.h"
#include "session/nuv_mgr.h"
#include "log/simple_log.h"
#include "xml/utf.h"
#include "xml/xml_document.h"

namespace {

struct RecordField {
  const char16_t* element;
  std::u16string ServerRecord::*member;
};

constexpr RecordField kRecordFields[] = {
    {u"name", &ServerRecord::name},
    {u"version", &ServerRecord::version},
    {u"process_name", &ServerRecord::process_name},
    {u"install_url", &ServerRecord::install_url},
    {u"download_url", &ServerRecord::download_url},
    {u"download_url_with_framework", &ServerRecord::download_url_with_framework},
    {u"download_url_net", &ServerRecord::download_url_net},
    {u"download_url_net_with_framework", &ServerRecord::download_url_net_with_framework},
    {u"download_url_x64", &ServerRecord::download_url_x64},
    {u"banner_url", &ServerRecord::banner_url},
    {u"oiap_url", &ServerRecord::oiap_url},
    {u"md5", &ServerRecord::md5},
    {u"history_md5_32", &ServerRecord::history_md5_32},
    {u"md5_64", &ServerRecord::md5_64},
    {u"history_md5_64", &ServerRecord::history_md5_64},
    {u"filesize", &ServerRecord::filesize},
    {u"netfx_minver", &ServerRecord::netfx_minver},
    {u"netfxlite_url", &ServerRecord::netfxlite_url},
    {u"languages", &ServerRecord::languages},
    {u"Url_Jump", &ServerRecord::Url_Jump},
    {u"install_error_url", &ServerRecord::install_error_url},
    {u"custom_install_path", &ServerRecord::custom_install_path},
    {u"is_allow_install_admin_path", &ServerRecord::is_allow_install_admin_path},
    {u"user_agreement_url", &ServerRecord::user_agreement_url},
    {u"privacy_agreement_url", &ServerRecord::privacy_agreement_url},
    {u"not_support_win32", &ServerRecord::not_support_win32},
};

std::u16string ServerDigests(const ServerRecord& r) {
  return JoinNonEmpty({r.md5, r.history_md5_32, r.history_md5_64, r.md5_64});
}

std::u16string ItemDigests(const DependentItem& item) {
  return JoinNonEmpty({item.md5, item.history_md5_32, item.history_md5_64, item.md5_64});
}

std::string PlainGet(const std::u16string& url, int& resultCode) {
  resultCode = 0;
  return CurlRequest(kRequestGet, url, {}, /*http10=*/true, /*captureHeaders=*/false, {},
                     resultCode);
}

}  // namespace

std::u16string JoinNonEmpty(const std::vector<std::u16string>& parts) {
  std::u16string joined;
  for (const std::u16string& part : parts) {
    if (part.empty()) continue;
    if (!joined.empty()) joined += u',';
    joined += part;
  }
  return joined;
}

bool ParseServerReply(const std::string& utf8, ServerReply& out) {
  out = ServerReply{};
  if (utf8.empty() || utf8.size() > kMaxServerReplyBytes) return false;
  XmlDocument doc;
  if (!doc.LoadText(Utf8ToWide(utf8))) return false;
  if (!doc.NextElement(u"vtrp")) return true;
  if (!doc.NextChild(u"downloader")) return true;
  out.hasDownloader = true;
  doc.Descend();

  doc.RewindChild();
  if (doc.NextChild(u"runtime")) {
    NUV_LOG(3, "[INFO] LoadServerXml downloader.runtime.");
    doc.Descend();
    for (const RecordField& field : kRecordFields) doc.ChildText(field.element, out.record.*field.member);
    doc.Ascend();
  }
  out.record.banner_url = platform::AppendTimestampParam(out.record.banner_url);

  doc.RewindChild();
  if (doc.NextChild(u"bind")) {
    doc.Descend();
    while (doc.NextChild(u"item"))
      out.bindItems.push_back(ReadDependentItem(doc, DependentSource::Server));
    doc.Ascend();
  }
  return true;
}

std::u16string ServerConfigUrl(const std::u16string& appId, const std::u16string& channel,
                               const std::u16string& localDownloadUrl,
                               const std::u16string& serverHost, const std::u16string& clientSign,
                               const std::u16string& productId, const std::u16string& nuvVersion,
                               const std::u16string& sceneCode, bool is64BitOs) {
  if (!appId.empty() && !channel.empty()) {
    const size_t slash = localDownloadUrl.rfind(u'/');
    const std::u16string folder =
        slash == std::u16string::npos ? std::u16string() : localDownloadUrl.substr(0, slash);
    return folder + u"/xml/" + appId + u"_" + channel + u".xml";
  }
  return serverHost + u"rest/v2/downloader/runtime/?client_sign=" + clientSign +
         u"&product_id=" + productId + u"&nuv=" + nuvVersion + u"&scene_code=" + sceneCode +
         u"&platform=" + (is64BitOs ? u"win_x64" : u"win_x86");
}

std::u16string DownloaderVersion(bool fourParts) {
  const std::u16string own = platform::GetOwnFileVersion();
  if (own.empty()) return u"3.0.5";
  const std::array<int, 4> v = platform::ParseVersion(own);
  char text[64];
  if (fourParts)
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", v[0], v[1], v[2], v[3]);
  else
    std::snprintf(text, sizeof text, "%d.%d.%d", v[0], v[1], v[2]);
  return Utf8ToWide(text);
}

std::u16string VisitorIdFromReply(const std::string& reply) {
  const size_t code = reply.find("\"code\":0");
  if (code == std::string::npos) return {};
  static const std::string kData = "\"data\":\"";
  const size_t data = reply.find(kData, code);
  if (data == std::string::npos) return {};
  const size_t start = data + kData.size();
  const size_t end = reply.find('"', start);
  // An unterminated text is a cut-off reply, not an identifier.
  if (end == std::string::npos) return {};
  return Utf8ToWide(reply.substr(start, end - start));
}

std::u16string FetchVisitorId(const std::string& baseUrl, const std::u16string& productId) {
  const std::u16string url =
      Utf8ToWide(baseUrl) + u"/api/v1/prodweb/trk?pid=" + productId + u"&os=Windows";
  NUV_LOG(3, "[INFO] get tid: %s", WideToUtf8(url).c_str());
  int resultCode = 0;
  const std::string reply = PlainGet(url, resultCode);
  NUV_LOG(3, "[INFO] response tid: %s", reply.c_str());
  if (resultCode != 0) return {};
  return VisitorIdFromReply(reply);
}

int EffectiveInstallTime(const std::u16string& localValue) {
  const int64_t seconds = DecimalValue(localValue);
  if (seconds < 120 || seconds > 600) return 240;
  return static_cast<int>(seconds);
}

bool NuvMgr::LoadServerXml() {
  const std::u16string url = ServerConfigUrl(
      AppID, Channel, DownurlUrlDown, ServerHost, platform::GetOrCreateClientSign(ProductBrand),
      ProductID, DownloaderVersion(false), SceneCode, platform::IsWow64());
  NUV_LOG(3, "[INFO] LoadServerXml, url=[%s].", WideToUtf8(url).c_str());

  int resultCode = 0;
  const std::string reply = PlainGet(url, resultCode);
  ServerReply parsed;
  if (resultCode != 0) {
    NUV_LOG(2, "[WARN] LoadServerXml, request failed, code=[%d].", resultCode);
  } else if (reply.size() > kMaxServerReplyBytes) {
    NUV_LOG(2, "[WARN] LoadServerXml, reply too large, size=[%zu].", reply.size());
  } else if (!ParseServerReply(reply, parsed)) {
    NUV_LOG(2, "[WARN] LoadServerXml, unusable reply, size=[%zu].", reply.size());
  } else if (!parsed.hasDownloader) {
    NUV_LOG(2, "[WARN] LoadServerXml, no downloader element.");
  }

  server = parsed.record;
  for (const DependentItem& item : parsed.bindItems) {
    NUV_LOG(3, "[INFO] LoadServerXml bind.item pid=[%s].", WideToUtf8(item.ProductID).c_str());
    if (!item.IsAcceptable()) continue;
    for (auto it = dependents.begin(); it != dependents.end(); ++it) {
      if (it->ProductID == item.ProductID) {
        dependents.erase(it);
        break;
      }
    }
    dependents.push_back(item);
    const bool force = item.MustInstall();
    const std::u16string digests = ItemDigests(item);
    installTable.Update(static_cast<int32_t>(DecimalValue(item.ProductID)),
                        [&](TaskInstallInfo& info) {
                          info.forceInstall = force;
                          info.md5List = digests;
                        });
  }

  analytics::GetUsageTracker().TrackConfig(
      WideToUtf8(server.name), WideToUtf8(server.process_name), DecimalValue(server.filesize),
      WideToUtf8(server.download_url), WideToUtf8(server.md5), WideToUtf8(server.download_url_x64),
      WideToUtf8(server.md5_64), resultCode);
  analytics::CommonProperties& props = analytics::GetCommonProperties();
  props.Set("serverxmlmd5", ServerDigests(server));
  props.Set("xmlprodcutver", server.version);

  visitorId = FetchVisitorId(GetEndpoints().productWebBase, ProductID);
  return true;
}

// --- Effective values: the server's when present, else the local one.

namespace {
const std::u16string& Prefer(const std::u16string& server, const std::u16string& local) {
  return server.empty() ? local : server;
}
}  // namespace

std::u16string NuvMgr::EffectiveProductName() const { return Prefer(server.name, ProductName); }

std::pair<std::u16string, std::u16string> NuvMgr::EffectiveDotnet() const {
  if (!server.netfx_minver.empty() && !server.netfxlite_url.empty())
    return {server.netfx_minver, server.netfxlite_url};
  if (!Dotnetminver.empty() && !Dotneturl.empty()) return {Dotnetminver, Dotneturl};
  return {};
}

std::u16string NuvMgr::EffectiveThankYouUrl() const {
  if (InstallurlOnlyUseLocalUrl == u"0" && !server.install_url.empty()) return server.install_url;
  return InstallurlUrlInstall;
}

std::u16string NuvMgr::EffectiveBannerUrl() const { return server.banner_url; }
std::u16string NuvMgr::EffectiveLicenseUrl() const { return Prefer(server.oiap_url, Url_License); }
std::u16string NuvMgr::EffectiveLanguages() const { return Prefer(server.languages, Languages); }
int NuvMgr::EffectiveInstallSeconds() const { return EffectiveInstallTime(InstallTime); }
std::u16string NuvMgr::EffectiveUserAgreementUrl() const {
  return Prefer(server.user_agreement_url, UserAgreementUrl);
}
std::u16string NuvMgr::EffectivePrivacyUrl() const {
  return Prefer(server.privacy_agreement_url, PrivacyAgreementUrl);
}
std::u16string NuvMgr::EffectiveInstallErrorUrl() const {
  return Prefer(server.install_error_url, InstallErrorUrl);
}
std::u16string NuvMgr::EffectiveJumpUrls() const { return Prefer(server.Url_Jump, Url_Jump); }
std::u16string NuvMgr::EffectiveCustomInstallPath() const {
  return Prefer(server.custom_install_path, CustomInstallPath);
}
std::u16string NuvMgr::EffectiveAllowAdminPath() const {
  return Prefer(server.is_allow_install_admin_path, IsAllowInstallAdminPath);
}
std::u16string NuvMgr::EffectiveNotSupportWin32() const {
  return Prefer(server.not_support_win32, NotSupportWin32);
}

MainPackageSource NuvMgr::EffectiveMainPackage(bool x64) const {
  MainPackageSource source;
  if (x64)
    source = {server.download_url_x64, server.md5_64, server.history_md5_64, false};
  else
    source = {server.download_url, server.md5, server.history_md5_32, false};
  const std::u16string& onlyLocal = x64 ? DownurlX64OnlyUseLocalUrl : DownurlOnlyUseLocalUrl;
  if (source.url.empty() || onlyLocal == u"1")
    source = {x64 ? DownurlX64UrlDown : DownurlUrlDown, {}, {}, true};
  return source;
}
