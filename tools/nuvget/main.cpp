// nuvget URL DIR [--md5 HEX] [--id N]: downloads one package through the engine; the exit code
// is the task's result code (0 success), 64 for a bad command line. Every failure also says why
// in one line on standard error.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/downloader_manager.h"
#include "log/simple_log.h"
#include "nuvget_args.h"
#include "nuvget_callback.h"
#include "platform/os/folders.h"
#include "platform/os/sized_file.h"
#include "xml/utf.h"

namespace {

constexpr int kUsageError = 64;

// DIR/nuvget.log when DIR can be written, else the private temporary folder's.
std::string LogPath(const std::string& dir) {
  if (nuv::os::MakeDirectories(dir) && access(dir.c_str(), W_OK) == 0) return dir + "/nuvget.log";
  return nuv::os::TempFolder() + "nuvget.log";
}

}  // namespace

int main(int argc, char** argv) {
  NuvgetArgs args;
  std::string why;
  if (!ParseNuvgetArgs(std::vector<std::string>(argv + 1, argv + argc), args, why)) {
    if (why != "help") std::fprintf(stderr, "nuvget: %s\n", why.c_str());
    std::fprintf(stderr, "%s\n", kNuvgetUsage);
    return kUsageError;
  }
  simpleLog log(LogPath(args.dir));
  log.Init();
  SetSimpleLog(&log);

  int result = -1;
  FailureFacts facts;
  {
    NuvgetCallback callback(stderr);
    ns_NUK::DownloaderManager manager;
    manager.SetCallBack(&callback);
    const std::u16string wideUrl = Utf8ToWide(args.url);
    if (manager.AddTask(wideUrl.c_str(), Utf8ToWide(args.dir), u"0", args.id, u"",
                        Utf8ToWide(args.md5), 0) == args.id)
      result = callback.WaitResult();
    facts = callback.Facts();
    manager.Shutdown();
  }
  SetSimpleLog(nullptr);
  if (result != 0) {
    std::fprintf(
        stderr, "nuvget: %s (log %s)\n",
        result == -1 ? "the task could not be added" : FailureReason(result, args, facts).c_str(),
        log.CurrentFile().c_str());
  }
  return result;
}
