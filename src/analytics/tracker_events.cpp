// The event catalogue: each builder fills the properties of one event in the listed order.
#include "analytics/usage_tracker.h"

#include <array>
#include <cstdint>

#include "platform/version_text.h"
#include "xml/utf.h"

namespace analytics {

namespace {

using Node = analytics_sdk::PropertiesNode;

std::unique_ptr<Node> NewNode() {
  return std::make_unique<Node>();
}

int64_t DecimalOrZero(const std::u16string& text) {
  int64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return 0;
    if (value > (INT64_MAX - 9) / 10) return 0;
    value = value * 10 + (c - u'0');
  }
  return value;
}

}  // namespace

void UsageTracker::SetProductProperties(const std::u16string& pid, const std::u16string& pver,
                                        const std::u16string& psource, const std::u16string& pbrand,
                                        const std::u16string& plang) {
  SetSuperProperty("pid", DecimalOrZero(pid));
  SetSuperProperty("pver", WideToUtf8(pver));
  SetSuperProperty("psource", WideToUtf8(psource));
  SetSuperProperty("pbrand", WideToUtf8(pbrand));
  SetSuperProperty("plang", WideToUtf8(plang));
}

void UsageTracker::SetSessionProperties(const std::u16string& sceneCode, const std::u16string& pid,
                                        const std::u16string& pver, const std::u16string& psource,
                                        const std::u16string& pbrand, const std::u16string& plang) {
  const std::array<int, 4> v = platform::ParseVersion(platform::GetOwnFileVersion());
  SetSuperProperty("downloader_ver", std::to_string(v[0]) + "." + std::to_string(v[1]) + "." +
                                         std::to_string(v[2]) + "." + std::to_string(v[3]));
  SetSuperProperty("scene_code", WideToUtf8(sceneCode));
  SetProductProperties(pid, pver, psource, pbrand, plang);
}

void UsageTracker::TrackEvent(const std::string& eventName, const std::string& key,
                              const std::string& value) {
  auto node = NewNode();
  if (!key.empty()) node->SetString(key, value);
  QueueEvent(eventName, std::move(node));
}

void UsageTracker::TrackPopClick(const std::string& page, const std::string& button) {
  auto node = NewNode();
  node->SetString("page", page);
  node->SetString("button", button);
  QueueEvent("pop_click", std::move(node));
}

void UsageTracker::TrackConfig(const std::string& name, const std::string& exeName, int64_t pkgSize,
                               const std::string& pkgUrl, const std::string& pkgMd5,
                               const std::string& x64PkgUrl, const std::string& x64PkgMd5,
                               int64_t errorCode) {
  auto node = NewNode();
  node->SetString("name", name);
  node->SetString("exe_name", exeName);
  node->SetInteger("pkg_size", pkgSize);
  node->SetString("pkg_url", pkgUrl);
  node->SetString("pkg_md5", pkgMd5);
  node->SetString("x64_pkg_url", x64PkgUrl);
  node->SetString("x64_pkg_md5", x64PkgMd5);
  node->SetInteger("error_code", errorCode);
  QueueEvent("downloader_config", std::move(node));
}

void UsageTracker::TrackDns(const std::string& domain, const std::string& ip) {
  auto node = NewNode();
  node->SetString("domain", domain);
  node->SetString("ip", ip);
  QueueEvent("downloader_dns", std::move(node));
}

void UsageTracker::TrackCover(const std::string& coverVersion, const std::string& button) {
  auto node = NewNode();
  node->SetString("cover_version", coverVersion);
  node->SetString("button", button);
  QueueEvent("downloader_cover", std::move(node));
}

void UsageTracker::TrackDownload(const DownloadRecord& record) {
  auto node = NewNode();
  node->SetString("type", record.type);
  node->SetString("state", record.state);
  node->SetString("domain", record.domain);
  node->SetInteger("resumedown", record.resumedown);
  node->SetInteger("times", record.times);
  node->SetInteger("speed", record.speed);
  node->SetInteger("duration", record.duration);
  node->SetInteger("error_code", record.error_code);
  node->SetInteger("thread", record.thread);
  node->SetInteger("buffer", record.buffer);
  QueueEvent("downloader_download", std::move(node));
}

void UsageTracker::TrackInstall(const std::string& type, const std::string& state, int64_t times,
                                int64_t speed, int64_t duration, int64_t errorCode) {
  auto node = NewNode();
  node->SetString("type", type);
  node->SetString("state", state);
  node->SetInteger("times", times);
  node->SetInteger("speed", speed);
  node->SetInteger("duration", duration);
  node->SetInteger("error_code", errorCode);
  QueueEvent("downloader_install", std::move(node));
}

void UsageTracker::TrackCrash(const std::string& crashAddr, const std::string& crashOffset,
                              const std::string& crashFileName, const std::string& crashSection,
                              int64_t errorCode) {
  auto node = NewNode();
  node->SetString("crashaddr", crashAddr);
  node->SetString("crashoffset", crashOffset);
  node->SetString("crashfilename", crashFileName);
  node->SetString("crashsection", crashSection);
  node->SetInteger("error_code", errorCode);
  QueueEvent("downloader_crash", std::move(node));
}

void UsageTracker::TrackStartProduct(int64_t errorCode) {
  auto node = NewNode();
  node->SetInteger("error_code", errorCode);
  QueueEvent("start_product", std::move(node));
}

void UsageTracker::TrackRedeemFailed(const std::string& page, int64_t error) {
  auto node = NewNode();
  node->SetString("page", page);
  node->SetInteger("error", error);
  QueueEvent("redeem_failed", std::move(node));
}

}  // namespace analytics
