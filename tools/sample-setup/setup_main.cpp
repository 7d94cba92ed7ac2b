// A stand-in for a product's setup program: takes the downloader's installer switches, installs a
// product program and data into /DIR=, writes the product's registry record, reports progress
// and one text to the downloader's window, and exits with the code its package chose. The same
// program, copied into the install folder with role=product, is the installed product.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/files.h"
#include "platform/os/folders.h"
#include "platform/os/process.h"
#include "platform/os/registry_store.h"
#include "platform/os/window_socket.h"
#include "tools/sample-setup/package_format.h"
#include "tools/sample-setup/setup_switches.h"
#include "xml/utf.h"

// The version this program reports; packages rewrite it (package_format.h).
extern "C" __attribute__((section(".nuv_version"), used, aligned(1)))
const char nuv_sample_setup_version[sample_setup::kVersionSectionSize] = "1.0.0.0";

namespace {

using sample_setup::Settings;

std::string Now(const char* format) {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buffer[64];
  std::strftime(buffer, sizeof buffer, format, &tm);
  return buffer;
}

class SetupLog {
 public:
  explicit SetupLog(const std::string& path) {
    if (!path.empty()) file_ = std::fopen(path.c_str(), "a");
  }
  ~SetupLog() {
    if (file_) std::fclose(file_);
  }
  bool Open() const { return file_ != nullptr; }
  void Line(const std::string& text) {
    if (!file_) return;
    std::fprintf(file_, "%s   %s\n", Now("%Y-%m-%d %H:%M:%S").c_str(), text.c_str());
    std::fflush(file_);
  }

 private:
  std::FILE* file_ = nullptr;
};

// The program part of our own file (without padding and settings) and the settings.
bool ReadSelf(std::string* program, Settings* settings) {
  std::string self = nuv::os::ModulePath();
  int fd = open(self.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  off_t size = lseek(fd, 0, SEEK_END);
  bool ok = size > 0;
  uint64_t programSize = static_cast<uint64_t>(size);
  if (ok && static_cast<uint64_t>(size) >= sample_setup::kTrailerSize) {
    std::string last(sample_setup::kTrailerSize, '\0');
    ok = pread(fd, last.data(), last.size(), size - static_cast<off_t>(last.size())) ==
         static_cast<ssize_t>(last.size());
    if (std::optional<sample_setup::TrailerInfo> info =
            ok ? sample_setup::ParseTrailer(last, static_cast<uint64_t>(size)) : std::nullopt) {
      programSize = info->ProgramSize(static_cast<uint64_t>(size));
      std::string text(info->settingsSize, '\0');
      ok = pread(fd, text.data(), text.size(),
                 static_cast<off_t>(programSize + info->paddingSize)) ==
           static_cast<ssize_t>(text.size());
      *settings = Settings::Parse(text);
    }
  }
  if (ok && program) {
    program->assign(programSize, '\0');
    ok = pread(fd, program->data(), programSize, 0) == static_cast<ssize_t>(programSize);
  }
  close(fd);
  return ok;
}

int RunProduct(const Settings& settings, int argc, char** argv) {
  std::string record = settings.Get("start_record");
  if (record.empty()) record = nuv::os::ModulePath() + ".started";
  char cwd[4096] = "";
  if (!getcwd(cwd, sizeof cwd)) cwd[0] = '\0';
  std::string line = "uid=" + std::to_string(getuid()) + " cwd=" + cwd + " args=";
  for (int i = 1; i < argc; ++i) line += std::string(i > 1 ? "|" : "") + argv[i];
  line += "\n";
  int fd = open(record.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return 1;
  bool ok = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  close(fd);
  return ok ? 0 : 1;
}

bool InstallFiles(const std::string& program, const Settings& settings, const std::string& dir,
                  const std::vector<std::string>& args, SetupLog& log) {
  std::error_code ec;
  std::filesystem::create_directories(dir + "data", ec);
  if (ec) {
    log.Line("Cannot create the folder " + dir + ": " + ec.message());
    return false;
  }
  Settings product = settings;
  product.Set("role", "product");
  std::optional<std::string> exe = sample_setup::BuildPackage(program, product);
  std::string exePath = dir + settings.Get("exe");
  int64_t payload = settings.GetNumber("payload_bytes");
  std::string data(static_cast<size_t>(payload < 0 ? 0 : payload), '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);
  std::string argList;
  for (const std::string& a : args) argList += a + "\n";
  if (!exe || !nuv::os::WriteFileWithMode(exePath, *exe, 0755) ||
      !nuv::os::WriteFileWithMode(dir + "data/payload.bin", data, 0644) ||
      !nuv::os::WriteFileWithMode(dir + "setup-args.txt", argList, 0644)) {
    log.Line("Cannot write the files into " + dir);
    return false;
  }
  log.Line("Installed " + exePath);
  return true;
}

bool WriteRegistryRecord(const Settings& settings, uint32_t pid, const std::string& dir,
                         SetupLog& log) {
  using nuv::os::Hive;
  using nuv::os::RegValue;
  using nuv::os::View;
  nuv::os::RegistryStore store;
  std::u16string key =
      Utf8ToWide("Software\\" + settings.Get("brand") + "\\" + settings.Get("product"));
  bool ok = store.CreateKey(Hive::LocalMachine, View::Default, key) &&
            store.SetValue(Hive::LocalMachine, View::Default, key, u"PID", RegValue::Dword(pid)) &&
            store.SetValue(Hive::LocalMachine, View::Default, key, u"InstallInfo",
                           RegValue::Sz(Utf8ToWide(Now("%Y-%m-%d %H:%M:%S")))) &&
            store.SetValue(Hive::LocalMachine, View::Default, key, u"Version",
                           RegValue::Sz(Utf8ToWide(settings.Get("version")))) &&
            store.SetValue(Hive::LocalMachine, View::Default, key, u"InstallName",
                           RegValue::Sz(Utf8ToWide(dir + settings.Get("exe")))) &&
            store.SetValue(Hive::LocalMachine, View::Default, key, u"InstallPath",
                           RegValue::Sz(Utf8ToWide(dir)));
  log.Line(ok ? "Registry record written" : "Cannot write the registry record");
  return ok;
}

class Progress {
 public:
  Progress(const std::string& windowText, const Settings& settings, SetupLog& log)
      : window_(sample_setup::ParseWindowHandle(windowText)),
        windowText_(windowText),
        hangAt_(settings.GetNumber("hang_at")),
        stepMs_(settings.GetNumber("step_ms")),
        log_(log) {}

  void Report(int64_t percent) {
    if (window_ && !nuv::os::PostWindowMessage(window_, nuv::os::kMsgInstallerProgress,
                                               static_cast<uint64_t>(percent))) {
      log_.Line("Window " + windowText_ + " did not take progress " + std::to_string(percent));
    }
    if (hangAt_ >= 0 && percent >= hangAt_) {
      log_.Line("Hanging at " + std::to_string(percent));
      auto until = std::chrono::steady_clock::now() + std::chrono::hours(1);
      while (std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
      }
    }
    if (stepMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(stepMs_));
  }

 private:
  uint32_t window_;
  std::string windowText_;
  int64_t hangAt_;
  int64_t stepMs_;
  SetupLog& log_;
};

int RunSetup(const std::string& program, const Settings& settings,
             const std::vector<std::string>& args) {
  sample_setup::Switches sw = sample_setup::ParseSwitches(args);
  SetupLog log(sw.log);
  log.Line("Sample setup " + settings.Get("product") + " " + settings.Get("version") + " started");
  for (const std::string& a : args) log.Line("Switch: " + a);
  if (!sw.hostInfoPath.empty()) {
    std::optional<std::string> info = nuv::os::ReadFile(sw.hostInfoPath);
    log.Line(info ? "Host info: " + WideToUtf8(Utf16LeBytesToWide(*info))
                  : "Host info file missing: " + sw.hostInfoPath);
  }
  uint32_t pid = static_cast<uint32_t>(settings.GetNumber("pid"));
  if (pid == 0) pid = static_cast<uint32_t>(std::strtoul(sw.pid.c_str(), nullptr, 10));
  std::string dir = !sw.dir.empty() ? sw.dir : sw.installPath;
  if (dir.empty()) {
    dir = nuv::os::ProgramFilesFolder() + settings.Get("brand") + "/" + settings.Get("product");
  }
  if (dir.back() != '/') dir += '/';
  int exitCode = static_cast<int>(settings.GetNumber("exit_code"));
  int64_t step = settings.GetNumber("progress_step");
  if (step <= 0 || step > 100) step = 100;

  Progress progress(sw.window, settings, log);
  progress.Report(0);
  bool installed = InstallFiles(program, settings, dir, args, log);
  if (!installed && exitCode == 0) exitCode = 1;
  for (int64_t p = step; p < 100; p += step) progress.Report(p);
  if (exitCode == 0 && !WriteRegistryRecord(settings, pid, dir, log)) exitCode = 1;
  progress.Report(100);
  uint32_t window = sample_setup::ParseWindowHandle(sw.window);
  if (window && !nuv::os::SendCopyData(
                    window, 0, WideToUtf16LeBytes(Utf8ToWide(settings.Get("copydata")) + u'\0'))) {
    log.Line("Window did not take the text");
  }
  log.Line("Exit code " + std::to_string(exitCode));
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  std::string program;
  Settings settings;
  if (!ReadSelf(&program, &settings)) return 1;
  if (settings.Get("role") == "product") return RunProduct(settings, argc, argv);
  return RunSetup(program, settings, std::vector<std::string>(argv + 1, argv + argc));
}
