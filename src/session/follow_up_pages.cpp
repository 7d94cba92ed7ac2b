#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "analytics/common_properties.h"
#include "analytics/usage_tracker.h"
#include "platform/registry.h"
#include "session/nuv_mgr.h"
#include "session/server_config.h"
#include "session/startup_task.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

// Lets the browser take the jump pages before the thank-you page, so that one ends up in front.
constexpr std::chrono::milliseconds kThankYouPause{280};

std::u16string WithQuery(const std::u16string& url, const std::u16string& query) {
  return url + (url.find(u'?') == std::u16string::npos ? u"?" : u"&") + query;
}

std::vector<std::u16string> SplitAt(const std::u16string& text, char16_t separator) {
  std::vector<std::u16string> parts;
  size_t begin = 0;
  for (;;) {
    const size_t end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end == std::u16string::npos ? end : end - begin));
    if (end == std::u16string::npos) return parts;
    begin = end + 1;
  }
}

void ReplaceAll(std::u16string& text, const std::u16string& from, const std::u16string& to) {
  for (size_t at = text.find(from); at != std::u16string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

bool NuvMgr::IsValidPageUrl(const std::u16string& url) {
  std::u16string compact;
  for (char16_t c : url)
    if (c != u' ' && c != u'\t') compact += c;
  if (compact.starts_with(u"http://")) return compact.size() >= 8;
  if (compact.starts_with(u"https://")) return compact.size() > 8;
  return false;
}

std::u16string NuvMgr::FollowUpQuery() {
  std::u16string version = server.version;
  for (const auto& task : tasks) {
    if (task->type == kTaskProduct || (forkMode && task->type == kTaskDependent)) {
      version = task->PackageVersion();
      break;
    }
  }
  const std::string now = std::to_string(static_cast<long long>(std::time(nullptr)));
  return u"client_sign=" + platform::ReadClientSign(ProductBrand) + u"&m_nProductID=" + ProductID +
         u"&installtime=" + Utf8ToWide(now) + u"&product_version=" + version + u"&nuv_version=" +
         DownloaderVersion(true) + u"&scene_code=" + SceneCode;
}

bool NuvMgr::OpenFollowUpPages() {
  const std::u16string query = FollowUpQuery();
  bool jumpOpened = false;
  for (const std::u16string& page : SplitAt(EffectiveJumpUrls(), u';')) {
    if (page.empty()) continue;
    if (!IsValidPageUrl(page)) {
      NUV_LOG(2, "[WARN] jump url=[%s] is invalid.", WideToUtf8(page).c_str());
      continue;
    }
    OpenPage(WithQuery(page, query), false);
    jumpOpened = true;
  }

  const std::u16string thanks = EffectiveThankYouUrl();
  if (thanks.empty()) return false;
  if (!IsValidPageUrl(thanks)) {
    NUV_LOG(2, "[WARN] thanks url=[%s] is invalid.", WideToUtf8(thanks).c_str());
    return false;
  }
  if (jumpOpened) std::this_thread::sleep_for(kThankYouPause);
  analytics::GetUsageTracker().TrackEvent("downloader_web", "page", "thank_you_page");
  return OpenPage(WithQuery(thanks, query), true);
}

bool NuvMgr::OpenPackagePage() {
  NuvTask* task = FindStartupTask(*this);
  // Nothing was opened, so nothing is reported as opened.
  if (!task) return false;
  analytics::GetCommonProperties().SetText("browserdown", "1");
  analytics::GetUsageTracker().TrackEvent("downloader_web", "page", "package_page");
  std::u16string url = task->url;
  ReplaceAll(url, u"cbs_down", u"retry");
  return OpenPage(url, false);
}

bool NuvMgr::OpenInstallErrorPage() {
  const std::u16string page = EffectiveInstallErrorUrl();
  return !page.empty() && OpenPage(page, false);
}
