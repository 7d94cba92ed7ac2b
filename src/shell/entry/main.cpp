// The downloader's entry. Until the real main window exists, a summary of what the start-up
// loaded is printed to standard output before the skinned placeholder window runs.
#include <cstdio>
#include <string>
#include <vector>

#include "session/nuv_mgr.h"
#include "lang/language_table.h"
#include "shell/command_line.h"
#include "shell/startup.h"
#include "shell/window_startup.h"
#include "xml/utf.h"

namespace {

void PrintLoaded(NuvMgr& mgr, LanguageTable& language) {
  auto u8 = [](const std::u16string& s) { return WideToUtf8(s); };
  std::printf("product      %s by %s (id %s, channel %s)\n", u8(mgr.ProductName).c_str(),
              u8(mgr.ProductBrand).c_str(), u8(mgr.ProductID).c_str(), u8(mgr.Channel).c_str());
  std::printf("platform     %s\n", u8(mgr.ServerHost).c_str());
  std::printf("config dir   %s\n", u8(mgr.configFolder).c_str());
  std::printf("run config   %s (resume=%d)\n", u8(mgr.runConfigPath).c_str(),
              mgr.resumeDownload ? 1 : 0);
  std::printf("install root %s\n", u8(mgr.installRoot).c_str());
  std::printf("language     %s (%s), install button \"%s\"\n",
              u8(language.CurrentLanguageName()).c_str(),
              u8(language.CodeOfName(language.CurrentLanguageName())).c_str(),
              u8(language.Text(u"Btn_Install")).c_str());
  for (const DependentItem& d : mgr.dependents)
    std::printf("dependent    %s (id %s, fork install %s)\n", u8(d.ProductName).c_str(),
                u8(d.ProductID).c_str(), u8(d.ForkInstall).c_str());
}

constexpr const char* kUsage =
    "usage: nuv [OnlyForkInstallDependent=1 HostLang=CODE HostVersion=TEXT HostHwnd=N]\n"
    "Runs the downloader (as root). Exit codes: 0 normal end, 255 an early stop (not root,\n"
    "configuration or language strings unusable, another instance running), 64 this text.";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (const int refused = RefuseOtherArguments(args, "nuv", kUsage)) return refused;
  StartupHooks hooks;
  hooks.openWindow = [](NuvMgr& mgr, LanguageTable& language) {
    PrintLoaded(mgr, language);
    return OpenMainWindow(mgr, language);
  };
  hooks.runWindow = RunMainWindowLoop;
  return RunStartup(args, GetNuvMgr(), hooks);
}
