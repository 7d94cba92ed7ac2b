// nuvrun [--folder DIR] [--lang CODE] [program arguments]: the downloader's start-up with a
// console in place of the window, which then installs the product into DIR (default: the
// configured installation root) without asking. The fork instance the run starts is this program
// again, with the fork arguments.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console_session.h"
#include "session/nuv_mgr.h"
#include "lang/language_table.h"
#include "shell/command_line.h"
#include "shell/startup.h"
#include "xml/utf.h"

namespace {

constexpr const char* kUsage =
    "usage: nuvrun [--folder DIR] [--lang CODE] [key=value ...]\n"
    "Runs the downloader (as root) with a console in place of its window and installs the\n"
    "product into DIR. Exit codes: 0 every package installed, 1 the run failed, 255 an early\n"
    "stop of the start-up, 64 this text.";

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  std::string language = "en";
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc) {
      folder = argv[++i];
    } else if (std::strcmp(argv[i], "--lang") == 0 && i + 1 < argc) {
      language = argv[++i];
    } else {
      args.emplace_back(argv[i]);
    }
  }
  if (const int refused = RefuseOtherArguments(args, "nuvrun", kUsage)) return refused;
  int result = 1;
  StartupHooks hooks;
  hooks.runWindow = [&](NuvMgr& mgr, LanguageTable&) {
    ConsoleOptions options;
    options.installFolder = folder.empty() ? mgr.installRoot : Utf8ToWide(folder);
    if (options.installFolder.empty() || options.installFolder.back() != u'/')
      options.installFolder += u'/';
    options.language = Utf8ToWide(language);
    result = RunConsoleSession(mgr, options);
  };
  const int startup = RunStartup(args, GetNuvMgr(), hooks);
  return startup != 0 ? startup : result;
}
