#include "log/log_folder.h"

#include "platform/os/file_trust.h"
#include "platform/os/folders.h"

namespace {

constexpr const char* kLevels[] = {"Veltrin", "NUV"};

}  // namespace

std::string DefaultLogFolder() {
  std::string folder = nuv::os::TempFolder();
  for (const char* level : kLevels) {
    folder += level;
    folder += '/';
  }
  return folder;
}

LogFolderChoice ChooseLogFolderWithReason() {
  const std::string temp = nuv::os::TempFolder();
  std::string folder = temp;
  for (const char* level : kLevels) {
    folder += level;
    folder += '/';
    // The log is written and its old files deleted as root: a level that is a link or that
    // someone else can change would point both elsewhere.
    if (!nuv::os::MakeTrustedFolder(folder, 0700)) return {temp, nuv::os::FolderDistrust(folder)};
  }
  return {folder, {}};
}

std::string ChooseLogFolder() {
  return ChooseLogFolderWithReason().folder;
}

std::string DefaultLogFilePath() {
  return DefaultLogFolder() + "vtNUV.log";
}
