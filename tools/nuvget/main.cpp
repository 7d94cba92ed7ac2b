// nuvget URL DIR [--md5 HEX] [--id N]: downloads one package through the engine; the exit code
// is the task's result code (0 success).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/downloader_manager.h"
#include "nuvget_callback.h"
#include "platform/os/sized_file.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: nuvget URL DIR [--md5 HEX] [--id N]\n");
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string url = argv[1];
  const std::string dir = argv[2];
  std::string md5;
  int id = 1;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--md5") == 0 && i + 1 < argc) {
      md5 = argv[++i];
    } else if (std::strcmp(argv[i], "--id") == 0 && i + 1 < argc) {
      id = std::atoi(argv[++i]);
    } else {
      return Usage();
    }
  }
  std::string logFolder = dir;
  if (!nuv::os::MakeDirectories(logFolder)) {
    const char* tmp = std::getenv("TMPDIR");
    logFolder = (tmp && *tmp) ? tmp : "/tmp";
  }
  simpleLog log(logFolder + "/nuvget.log");
  log.Init();
  SetSimpleLog(&log);

  int result = -1;
  {
    NuvgetCallback callback(stderr);
    ns_NUK::DownloaderManager manager;
    manager.SetCallBack(&callback);
    const std::u16string wideUrl = Utf8ToWide(url);
    if (manager.AddTask(wideUrl.c_str(), Utf8ToWide(dir), u"0", id, u"", Utf8ToWide(md5), 0) == id)
      result = callback.WaitResult();
    manager.Shutdown();
  }
  SetSimpleLog(nullptr);
  return result;
}
