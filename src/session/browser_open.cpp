#include <ctime>
#include <string>

#include "analytics/common_properties.h"
#include "platform/browser_lookup.h"
#include "platform/os/cmdline_split.h"
#include "platform/process_launch.h"
#include "session/nuv_mgr.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

// A text that starts with '-' would be read as a switch by whatever program gets it (a browser
// switch can name a program to run), so it is never handed over.
bool LooksLikeSwitch(const std::u16string& url) {
  const size_t first = url.find_first_not_of(u" \t");
  return first != std::u16string::npos && url[first] == u'-';
}

}  // namespace

bool NuvMgr::OpenPage(const std::u16string& url, bool thankYouPage) {
  const bool refused = LooksLikeSwitch(url);
  const std::u16string browser = refused ? u"" : platform::FindPreferredBrowser();
  int result = platform::kShellFileNotFound;
  if (!browser.empty()) {
    // The address reaches the browser as one argument: a blank or a quote in a server-sent
    // address must not become a browser switch.
    result = platform::ShellOpen(browser, nuv::os::QuoteArgument(url), u"");
    NUV_LOG(3, "[INFO] priority browser open url=[%s], ret=[%d].", WideToUtf8(url).c_str(), result);
  } else {
    if (!refused) result = platform::ShellOpen(url, u"", u"");
    NUV_LOG(3, "[INFO] browser open url=[%s], ret=[%d].", WideToUtf8(url).c_str(), result);
  }
  if (thankYouPage) {
    analytics::CommonProperties& props = analytics::GetCommonProperties();
    props.SetNumber("installpageopentime", static_cast<int64_t>(std::time(nullptr)));
    props.SetNumber("installpageopencode", result);
  }
  return result > 32;
}
