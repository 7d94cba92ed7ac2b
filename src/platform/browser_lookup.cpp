#include "platform/browser_lookup.h"

#include <optional>

#include "platform/os/process.h"
#include "platform/os/registry_store.h"
#include "platform/registry_read.h"
#include "xml/utf.h"

namespace platform {
namespace {

using nuv::os::Hive;
using nuv::os::View;
using registry_detail::ReadSz;

constexpr char16_t kAppPathsKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr char16_t kOperaCommandKey[] = u"Applications\\opera.exe\\shell\\open\\command";
// Registry texts are not limited by a buffer of ours here.
constexpr size_t kAnyLength = SIZE_MAX;

// A browser we hand a URL to must be a program: a plain file would go to the desktop's handler
// without the URL.
bool IsProgram(const std::u16string& path) {
  return !path.empty() && nuv::os::IsExecutableFile(WideToUtf8(path));
}

std::u16string FromAppPaths(const std::u16string& exeName) {
  for (View view : {View::Default, View::Bit32}) {
    auto path = ReadSz(Hive::LocalMachine, view, kAppPathsKey + exeName, u"", kAnyLength);
    if (path && IsProgram(*path)) return *path;
  }
  return u"";
}

// The classes root merges the user's classes over the machine's, as on Windows.
std::optional<std::u16string> ReadClassesRootDefault(const std::u16string& key) {
  const std::u16string path = u"Software\\Classes\\" + key;
  if (auto user = ReadSz(Hive::CurrentUser, View::Default, path, u"", kAnyLength)) return user;
  return ReadSz(Hive::LocalMachine, View::Default, path, u"", kAnyLength);
}

std::u16string FromOperaCommand() {
  std::optional<std::u16string> command = ReadClassesRootDefault(kOperaCommandKey);
  if (!command) return u"";
  std::u16string program = *command;
  if (!program.empty() && program[0] == u'"') {
    const size_t close = program.find(u'"', 1);
    program = program.substr(1, close == std::u16string::npos ? std::u16string::npos : close - 1);
  }
  return IsProgram(program) ? program : u"";
}

}  // namespace

std::u16string FindPreferredBrowser() {
  for (const char16_t* name : {u"chrome.exe", u"firefox.exe", u"Safari.exe"}) {
    std::u16string path = FromAppPaths(name);
    if (!path.empty()) return path;
  }
  return FromOperaCommand();
}

}  // namespace platform
