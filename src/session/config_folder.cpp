#include "session/config_folder.h"

#include <cerrno>
#include <vector>

#include "log/simple_log.h"
#include "platform/folder_utils.h"
#include "platform/os/file_trust.h"
#include "xml/utf.h"

namespace {

// An empty text stays empty: it names no folder (and must not become the root).
std::u16string WithSlash(std::u16string folder) {
  if (!folder.empty() && folder.back() != u'/') folder += u'/';
  return folder;
}

// The folder "Download" under the brand at a drive root (directly at the root without a brand).
std::u16string DriveDownloadFolder(const std::u16string& root, const std::u16string& brand) {
  std::u16string folder = WithSlash(root);
  if (!brand.empty()) folder += brand + u"/";
  return folder + u"Download/";
}

// Packages are saved and run from here as root: a folder someone else can change is not used.
// The reason goes to the log; empty when the folder can be trusted.
std::string Distrust(const std::u16string& folder) {
  std::string why = nuv::os::FolderDistrust(WideToUtf8(folder));
  if (!why.empty())
    NUV_LOG(2, "[WARN] folder=[%s] refused (%s).", WideToUtf8(folder).c_str(), why.c_str());
  return why;
}

std::u16string FindExistingDownloadFolder(const std::vector<std::u16string>& drives,
                                          const std::u16string& brand) {
  for (const std::u16string& root : drives) {
    std::u16string folder = DriveDownloadFolder(root, brand);
    if (platform::FolderExists(folder) && Distrust(folder).empty()) return folder;
  }
  return {};
}

struct RoomiestDrive {
  std::u16string root;  // empty when there is no drive
  uint64_t free = 0;
};

// The first of the drives with the most free space wins a tie.
RoomiestDrive FindRoomiestDrive(const std::vector<std::u16string>& drives) {
  RoomiestDrive best;
  for (const std::u16string& root : drives) {
    const uint64_t free = platform::GetFreeDiskSpace(root);
    if (best.root.empty() || free > best.free) best = {root, free};
  }
  return best;
}

std::u16string DefaultFolder(const std::u16string& best, const std::u16string& brand) {
  if (best.empty() || WithSlash(best) == WithSlash(platform::GetSystemDriveRoot()))
    return platform::GetSharedDocumentsFolder(brand);

  std::u16string folder = DriveDownloadFolder(best, brand);
  if (!platform::CreateFolderChain(folder))
    NUV_LOG(1, "[ERROR] create folder=[%s] failed!", WideToUtf8(folder).c_str());
  return folder;
}

std::vector<std::u16string> FixedDrives() {
  std::vector<std::u16string> drives;
  platform::ListFixedDrives(drives);
  return drives;
}

// A folder not to be trusted gives EPERM; the write probe leaves its reason in errno, which is
// cleared first so a success leaves no stale one.
bool Writable(const std::u16string& folder, int& error) {
  if (!Distrust(folder).empty()) {
    error = EPERM;
    return false;
  }
  errno = 0;
  const bool ok = platform::CanWriteToFolder(folder);
  error = ok ? 0 : errno;
  return ok;
}

// Steps 2 to 4 of the rule, from the folder the earlier steps found (empty: none).
std::u16string WritableFolder(std::u16string folder, const std::vector<std::u16string>& drives,
                              const std::u16string& brand) {
  if (folder.empty()) folder = DefaultFolder(FindRoomiestDrive(drives).root, brand);
  folder = WithSlash(folder);

  int error = 0;
  if (Writable(folder, error)) return folder;
  NUV_LOG(2, "[WARN] get default folder=[%s] failed, err=[%d].", WideToUtf8(folder).c_str(), error);

  folder = WithSlash(platform::GetModuleSubFolder(brand));
  if (Writable(folder, error)) return folder;
  NUV_LOG(2, "[WARN] get exe folder=[%s] failed, err=[%d].", WideToUtf8(folder).c_str(), error);

  folder = WithSlash(platform::GetTempSubFolder(brand));
  if (!Writable(folder, error))
    NUV_LOG(1, "[ERROR] get temp folder=[%s] failed! err=[%d].", WideToUtf8(folder).c_str(), error);
  return folder;
}

}  // namespace

std::u16string ChooseConfigFolder(const std::u16string& brand) {
  const std::vector<std::u16string> drives = FixedDrives();
  return WritableFolder(FindExistingDownloadFolder(drives, brand), drives, brand);
}

std::u16string ChooseDefaultConfigFolder(const std::u16string& brand) {
  return WritableFolder({}, FixedDrives(), brand);
}

std::u16string RoomyDefaultFolder(const std::u16string& brand, uint64_t needed) {
  const RoomiestDrive best = FindRoomiestDrive(FixedDrives());
  if (best.root.empty() || best.free < needed) return {};
  const std::u16string folder = WithSlash(DefaultFolder(best.root, brand));
  // A folder the package can't be written to is no place for it, however much room it has.
  int error = 0;
  return Writable(folder, error) ? folder : std::u16string();
}
