#include <limits>

#include "platform/folder_utils.h"
#include "session/config_folder.h"
#include "session/nuv_mgr.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

// A folder chosen for an installation need not exist yet: its drive is the one of the nearest
// folder above it that does.
uint64_t DriveFreeSpace(const std::u16string& folder) {
  std::u16string probe = folder;
  while (!probe.empty() && !platform::FolderExists(probe)) {
    while (!probe.empty() && probe.back() == u'/') probe.pop_back();
    probe = platform::ParentFolder(probe);
  }
  return platform::GetFreeDiskSpace(probe.empty() ? folder : probe);
}

// free >= size * factor, asked without forming the product: a size the server announced may be
// absurd, and a wrapped estimate would pass any disk.
bool Enough(uint64_t free, int64_t size, int64_t factor = 1) {
  return size <= 0 || free / static_cast<uint64_t>(factor) >= static_cast<uint64_t>(size);
}

long long Estimate(int64_t size, int64_t factor) {
  if (size > std::numeric_limits<int64_t>::max() / factor)
    return std::numeric_limits<long long>::max();
  return static_cast<long long>(size * factor);
}

long long ForLog(uint64_t free) {
  return free > static_cast<uint64_t>(std::numeric_limits<long long>::max())
             ? std::numeric_limits<long long>::max()
             : static_cast<long long>(free);
}

}  // namespace

void NuvMgr::UpdateSaveFolder() {
  const uint64_t free = DriveFreeSpace(configFolder);
  if (!Enough(free, packageSize)) {
    NUV_LOG(2, "[WARN] update save folder, dir=[%s], disk_free_size=[%lld]",
            WideToUtf8(configFolder).c_str(), ForLog(free));
    const std::u16string roomy =
        RoomyDefaultFolder(ProductBrand, static_cast<uint64_t>(packageSize));
    if (roomy.empty())
      NUV_LOG(1, "[ERROR] update save folder, not enough disk space.");
    else
      configFolder = roomy;
  }
  for (const auto& task : tasks) task->folder = configFolder;
}

bool NuvMgr::CheckSpace(const std::u16string& folder, bool forInstall) {
  const uint64_t free = DriveFreeSpace(folder);
  if (!forInstall) {
    if (Enough(free, packageSize)) return true;
    NUV_LOG(2, "[WARN] check install space size failed! dir=[%s], free=[%lld], pkg_size=[%lld]",
            WideToUtf8(folder).c_str(), ForLog(free), static_cast<long long>(packageSize));
    return false;
  }
  // The package and the installation share a drive: both must fit.
  const bool packageDrive =
      platform::GetDriveRootOf(folder) == platform::GetDriveRootOf(configFolder);
  const int64_t factor = packageDrive ? 5 : 4;
  if (Enough(free, packageSize, factor)) return true;
  NUV_LOG(2, "[WARN] check install space size failed! dir=[%s], free=[%lld], estimate=[%lld]",
          WideToUtf8(folder).c_str(), ForLog(free), Estimate(packageSize, factor));
  return false;
}
