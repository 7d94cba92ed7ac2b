// Fixed drives in place of drive letters: local block-device file systems, their mount points as
// "drive roots" (each ending in '/'), free space, and the system drive (the one holding "/").
// One process-wide provider that tests replace with a fake.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nuv::os {

class IDriveProvider {
 public:
  virtual ~IDriveProvider() = default;
  // Drive roots in listing order; "/" is always first.
  virtual std::vector<std::string> FixedDriveRoots() = 0;
  // Bytes free for an unprivileged user on the file system holding path; nothing when the path
  // can't be queried (e.g. it does not exist).
  virtual std::optional<uint64_t> FreeBytes(const std::string& path) = 0;
  // The root of the drive holding "/" (the "system drive").
  virtual std::string SystemDriveRoot() = 0;
};

// The real provider: /proc/self/mounts (or the given mount table) and statvfs.
// A mount counts when its source is a device under /dev/, it is mounted read-write on a folder
// outside /proc, /sys, /dev, /run and /boot, and it is the first folder mount of that device (the
// device of "/" is taken by "/"); "/" always counts.
class SystemDriveProvider : public IDriveProvider {
 public:
  explicit SystemDriveProvider(std::string mountTable = "/proc/self/mounts");
  std::vector<std::string> FixedDriveRoots() override;
  std::optional<uint64_t> FreeBytes(const std::string& path) override;
  std::string SystemDriveRoot() override { return "/"; }

 private:
  std::string mountTable_;
};

// A fake for tests: chosen roots (normally folders under a temporary folder) with chosen free
// space. FreeBytes answers for the longest root that prefixes the path.
struct DriveInfo {
  std::string root;  // ends in '/'
  uint64_t freeBytes = 0;
};

class FakeDriveProvider : public IDriveProvider {
 public:
  FakeDriveProvider(std::vector<DriveInfo> drives, std::string systemRoot);
  std::vector<std::string> FixedDriveRoots() override;
  std::optional<uint64_t> FreeBytes(const std::string& path) override;
  std::string SystemDriveRoot() override { return systemRoot_; }
  void SetFree(const std::string& root, uint64_t freeBytes);

 private:
  std::vector<DriveInfo> drives_;
  std::string systemRoot_;
};

// The process-wide provider (the real one unless replaced).
IDriveProvider& Drives();
// Replaces it; null restores the real one. The caller keeps ownership. Not for use while other
// threads query drives.
void SetDriveProvider(IDriveProvider* provider);

}  // namespace nuv::os
