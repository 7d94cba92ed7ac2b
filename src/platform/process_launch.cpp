#include "platform/process_launch.h"

#include <cerrno>
#include <string>
#include <vector>

#include "platform/folder_utils.h"
#include "platform/os/cmdline_split.h"
#include "platform/os/desktop_entry.h"
#include "platform/os/files.h"
#include "platform/os/folders.h"
#include "platform/os/process.h"
#include "platform/os/window_socket.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace platform {

namespace {

constexpr size_t kHiddenCommandBuffer = 260;
constexpr const char* kWindowClass = "NUV";

std::vector<std::string> ToUtf8(const std::vector<std::u16string>& args) {
  std::vector<std::string> out;
  out.reserve(args.size());
  for (const std::u16string& a : args) out.push_back(WideToUtf8(a));
  return out;
}

// Parameters alone follow the rules of every argument after the program name.
std::vector<std::string> SplitParameters(const std::u16string& parameters) {
  std::vector<std::u16string> args = nuv::os::SplitCommandLine(u"x " + parameters);
  if (!args.empty()) args.erase(args.begin());
  return ToUtf8(args);
}

int ShellCodeFor(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kShellFileNotFound;
    case ENOMEM:
    case EAGAIN:
      return kShellOutOfMemory;
    default:
      return kShellAccessDenied;
  }
}

std::string DesktopEntryPath(const std::u16string& fileName) {
  std::string desktop = nuv::os::DesktopUserDesktopFolder();
  if (desktop.empty()) return {};
  return desktop + "/" + WideToUtf8(fileName) + ".desktop";
}

bool LooksLikeUrl(const std::string& text) {
  size_t colon = text.find(':');
  return colon != std::string::npos && colon > 1 && text.find('/') > colon;
}

}  // namespace

int RunExe(const std::u16string& path, const std::u16string& parameters, bool skipExistenceCheck) {
  std::string file = WideToUtf8(path);
  std::string params = WideToUtf8(parameters);
  NUV_LOG(3, "[INFO] RunExe: \n path=[%s] \n param=[%s] \n hide=[%d], block=[%d].", file.c_str(),
          params.c_str(), 0, 1);
  nuv::os::HeldFile held;
  if (!skipExistenceCheck) {
    if (int err = held.Open(file)) {
      NUV_LOG(1, "[ERROR] RunExe failed! err=[%d]", err);
      return -1;
    }
  }
  std::vector<std::string> argv{file};
  for (std::string& a : SplitParameters(parameters)) argv.push_back(std::move(a));
  nuv::os::SpawnOptions options;
  options.searchPath = skipExistenceCheck;
  nuv::os::SpawnResult child = nuv::os::Spawn(argv, options);
  if (!child.Started()) {
    NUV_LOG(1, "[ERROR] RunExe failed! err=[%d]", child.error);
    return -1;
  }
  int code = nuv::os::WaitForExit(child.pid);
  held.Close();
  NUV_LOG(3, "[INFO] RunExe ret=[%d].", code);
  return code;
}

bool MakeExecutable(const std::u16string& path) {
  return nuv::os::MakeExecutable(WideToUtf8(path));
}

bool RunHidden(const std::u16string& commandLine, std::chrono::milliseconds limit) {
  if (commandLine.size() >= kHiddenCommandBuffer) return false;
  std::vector<std::string> argv = ToUtf8(nuv::os::SplitCommandLine(commandLine));
  if (argv.empty()) return false;
  nuv::os::SpawnOptions options;
  options.searchPath = true;
  options.nullStdio = true;
  options.ownProcessGroup = true;
  nuv::os::SpawnResult child = nuv::os::Spawn(argv, options);
  if (!child.Started()) return false;
  std::optional<int> code = nuv::os::WaitForExitWithin(child.pid, limit);
  return code && *code == 0;
}

bool StartProcess(const std::u16string& commandLine, bool hidden) {
  std::vector<std::string> argv = ToUtf8(nuv::os::SplitCommandLine(commandLine));
  if (argv.empty()) return false;
  nuv::os::SpawnOptions options;
  options.searchPath = true;
  options.nullStdio = hidden;
  options.detach = true;
  return nuv::os::Spawn(argv, options).Started();
}

int ShellOpen(const std::u16string& file, const std::u16string& parameters,
              const std::u16string& workingFolder) {
  std::string target = WideToUtf8(file);
  if (target.empty()) return kShellFileNotFound;
  nuv::os::SpawnOptions options;
  options.detach = true;
  options.nullStdio = true;
  options.asUser = nuv::os::UserToDropTo();
  options.workingFolder = WideToUtf8(workingFolder);
  std::vector<std::string> argv;
  if (nuv::os::IsExecutableFile(target)) {
    argv.push_back(target);
    for (std::string& a : SplitParameters(parameters)) argv.push_back(std::move(a));
  } else {
    if (!LooksLikeUrl(target) && !nuv::os::PathExists(target)) return kShellFileNotFound;
    argv = {"xdg-open", target};
    options.searchPath = true;
  }
  nuv::os::SpawnResult child = nuv::os::Spawn(argv, options);
  if (child.Started()) return kShellOk;
  if (argv[0] == "xdg-open" && child.error == ENOENT) return kShellNoAssociation;
  return ShellCodeFor(child.error);
}

bool CreateDesktopShortcut(const std::u16string& fileName, const std::u16string& folder) {
  std::string desktop = nuv::os::DesktopUserDesktopFolder();
  if (desktop.empty() || fileName.empty()) return false;
  std::string work = WideToUtf8(folder);
  while (work.size() > 1 && work.back() == '/') work.pop_back();
  std::string target = (work == "/" ? "" : work) + "/" + WideToUtf8(fileName);
  return nuv::os::WriteDesktopEntry(desktop, WideToUtf8(fileName), target, work);
}

bool DeleteDesktopShortcut(const std::u16string& fileName) {
  std::string path = DesktopEntryPath(fileName);
  return !path.empty() && !fileName.empty() && nuv::os::RemoveFile(path);
}

bool DeleteOwnDesktopShortcut() {
  return DeleteDesktopShortcut(GetModuleFileName());
}

void ActivateExistingWindow(const std::u16string& title) {
  if (std::optional<uint32_t> handle = nuv::os::FindWindow(kWindowClass, WideToUtf8(title))) {
    nuv::os::ActivateWindow(*handle);
  }
}

}  // namespace platform
