#include "platform/dotnet.h"

#include <optional>
#include <vector>

#include "platform/os/files.h"
#include "platform/os/process.h"
#include "platform/os/registry_store.h"
#include "platform/os/resources.h"
#include "xml/utf.h"

namespace platform {

namespace {

using nuv::os::Hive;
using nuv::os::RegistryStore;
using nuv::os::RegValue;
using nuv::os::View;

constexpr const char16_t* kFrameworkKey = u"SOFTWARE\\Microsoft\\.NETFramework";
constexpr const char16_t* kNdpKey = u"Software\\Microsoft\\NET Framework Setup\\NDP";
constexpr size_t kInstallRootMax = 259;
constexpr size_t kNdpNameMax = 256;

// The leading decimal digits of text (0 when there are none), saturating.
uint32_t LeadingNumber(std::u16string_view text) {
  uint64_t n = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') break;
    n = n * 10 + static_cast<uint64_t>(c - u'0');
    if (n > 0xFFFFFFFFu) return 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(n);
}

// The number between the first '.' and the next '.' (or the end); 0 without a '.'.
uint32_t MinorOf(std::u16string_view text) {
  size_t dot = text.find(u'.');
  if (dot == std::u16string_view::npos) return 0;
  return LeadingNumber(text.substr(dot + 1));
}

// The checker's path as the program name of a command line; empty when it can't be one.
std::u16string ProgramCommandLine(const std::u16string& path) {
  if (path.find(u'"') != std::u16string::npos) return {};
  return u"\"" + path + u"\"";
}

bool Satisfies(uint32_t family, uint32_t requestMajor, uint32_t requestMinor, uint32_t minor) {
  if (family == 2 || family == 3) {
    return requestMajor < family || (requestMajor == family && minor >= requestMinor);
  }
  return family == 4 && requestMajor == 4 && minor >= requestMinor;
}

}  // namespace

bool IsNet2Present() {
  RegistryStore store;
  std::u16string base = kFrameworkKey;
  if (!store.OpenKey(Hive::LocalMachine, View::Default, base + u"\\policy\\v2.0") &&
      !store.OpenKey(Hive::LocalMachine, View::Default, base + u"\\policy\\v2.0.50727")) {
    return false;
  }
  RegValue root;
  return store.QueryValue(Hive::LocalMachine, View::Default, base, u"InstallRoot", &root) &&
         root.IsText() && !root.text.empty() && root.text.size() <= kInstallRootMax;
}

bool RunNetChecker(const std::u16string& checkerPath, std::chrono::milliseconds limit) {
  if (checkerPath.empty() || !IsNet2Present()) return false;
  RegistryStore store;
  bool opened = store.OpenKey(Hive::LocalMachine, View::Default, kFrameworkKey);
  // The shim's error dialog stays off for the run; afterwards the value is as it was before.
  std::optional<RegValue> previous;
  bool setShim = false;
  if (opened) {
    RegValue shim;
    bool present =
        store.QueryValue(Hive::LocalMachine, View::Default, kFrameworkKey, u"NoGuiFromShim", &shim);
    if (!present || (shim.IsDword() && static_cast<uint32_t>(shim.number) == 0)) {
      if (present) previous = shim;
      setShim = store.SetValue(Hive::LocalMachine, View::Default, kFrameworkKey, u"NoGuiFromShim",
                               RegValue::Dword(1));
    }
  }
  std::u16string command = ProgramCommandLine(checkerPath);
  bool ok = !command.empty() && RunHidden(command, limit);
  if (setShim && previous) {
    store.SetValue(Hive::LocalMachine, View::Default, kFrameworkKey, u"NoGuiFromShim", *previous);
  } else if (setShim) {
    store.DeleteValue(Hive::LocalMachine, View::Default, kFrameworkKey, u"NoGuiFromShim");
  }
  return ok;
}

bool IsNetVersionInstalled(const std::u16string& versionText) {
  uint32_t major = LeadingNumber(versionText);
  uint32_t minor = MinorOf(versionText);
  if (major < 2 || major > 4) return false;
  RegistryStore store;
  std::vector<std::u16string> names;
  if (!store.EnumSubKeys(Hive::LocalMachine, View::Default, kNdpKey, &names)) return false;
  for (const std::u16string& name : names) {
    if (name.size() < 2 || name.size() > kNdpNameMax) continue;
    std::u16string family = name.substr(
        1, name.find(u'.') == std::u16string::npos ? std::u16string::npos : name.find(u'.') - 1);
    if (family != u"2" && family != u"3" && family != u"4") continue;
    std::u16string key = std::u16string(kNdpKey) + u"\\" + name;
    if (family == u"4") key += u"\\Full";
    RegValue install, version;
    if (!store.QueryValue(Hive::LocalMachine, View::Default, key, u"Install", &install) ||
        !install.IsDword() || static_cast<uint32_t>(install.number) != 1 ||
        !store.QueryValue(Hive::LocalMachine, View::Default, key, u"Version", &version) ||
        !version.IsText()) {
      continue;
    }
    uint32_t familyNumber = static_cast<uint32_t>(family[0] - u'0');
    if (Satisfies(familyNumber, major, minor, MinorOf(version.text))) return true;
  }
  return false;
}

bool RunEmbeddedNetChecker(const std::u16string& folder, std::chrono::milliseconds limit) {
  std::string base = WideToUtf8(folder);
  if (!base.empty() && base.back() != '/') base += '/';
  std::string exe = base + WideToUtf8(kNetCheckerFileName);
  std::string config = exe + WideToUtf8(kNetCheckerConfigSuffix);
  std::optional<std::string> program = nuv::os::LoadResource("EXE", kNetCheckerResourceId);
  std::optional<std::string> settings = nuv::os::LoadResource("XML", kNetCheckerConfigResourceId);
  bool written = program && settings && nuv::os::WriteFileWithMode(exe, *program, 0755) &&
                 nuv::os::WriteFileWithMode(config, *settings, 0644);
  std::u16string command = ProgramCommandLine(Utf8ToWide(exe));
  bool ok = written && !command.empty() && RunHidden(command, limit);
  nuv::os::RemoveFile(exe);
  nuv::os::RemoveFile(config);
  return ok;
}

}  // namespace platform
