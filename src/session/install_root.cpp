#include "session/install_root.h"

#include "platform/folder_utils.h"
#include "platform/registry.h"
#include "session/config_number.h"

namespace {

bool EqualsIgnoringAsciiCase(const std::u16string& a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A drive-relative or relative text names no drive, so it can't be a usable folder.
bool DriveRootExists(const std::u16string& path) {
  return !path.empty() && path[0] == u'/' && platform::FolderExists(platform::GetDriveRootOf(path));
}

}  // namespace

std::u16string DefaultInstallRoot(const std::u16string& customPath, const std::u16string& brand,
                                  const std::u16string& productId) {
  std::u16string root = customPath;
  if (!root.empty()) {
    if (EqualsIgnoringAsciiCase(root, u"%localappdata%"))
      root = platform::GetShellUserLocalAppData();
    else if (!DriveRootExists(root))
      root.clear();
  }
  if (root.empty() && !brand.empty()) {
    const std::u16string installed =
        platform::GetInstalledPath(brand, static_cast<uint32_t>(DecimalValue(productId)));
    const size_t at = installed.find(u"/" + brand + u"/");
    if (at != std::u16string::npos) root = installed.substr(0, at + 1);
  }
  return root;
}
