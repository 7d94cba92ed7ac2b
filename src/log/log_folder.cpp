#include "log/log_folder.h"

#include "platform/os/files.h"
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

std::string ChooseLogFolder() {
  const std::string temp = nuv::os::TempFolder();
  std::string folder = temp;
  for (const char* level : kLevels) {
    folder += level;
    folder += '/';
    if (!nuv::os::IsDirectory(folder) && !nuv::os::MakeDirectory(folder)) return temp;
  }
  return folder;
}

std::string DefaultLogFilePath() {
  return DefaultLogFolder() + "vtNUV.log";
}
