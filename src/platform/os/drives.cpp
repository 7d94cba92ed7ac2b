#include "platform/os/drives.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <atomic>
#include <set>
#include <sstream>

#include "platform/os/files.h"

namespace nuv::os {

namespace {

// Mount points in the mount table escape space, tab, newline and backslash as \ooo.
std::string Unescape(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
        field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

bool UnderPseudoFolder(const std::string& mountPoint) {
  for (const char* prefix : {"/proc", "/sys", "/dev", "/run", "/boot"}) {
    std::string p = prefix;
    if (mountPoint == p || mountPoint.compare(0, p.size() + 1, p + "/") == 0) return true;
  }
  return false;
}

bool IsReadOnly(const std::string& options) {
  std::stringstream in(options);
  std::string option;
  while (std::getline(in, option, ',')) {
    if (option == "ro") return true;
  }
  return false;
}

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

}  // namespace

SystemDriveProvider::SystemDriveProvider(std::string mountTable)
    : mountTable_(std::move(mountTable)) {}

std::vector<std::string> SystemDriveProvider::FixedDriveRoots() {
  std::vector<std::string> roots{"/"};
  std::optional<std::string> table = ReadFile(mountTable_);
  if (!table) return roots;
  struct Mount {
    std::string source, point, options;
  };
  std::vector<Mount> mounts;
  std::stringstream lines(*table);
  std::string line;
  while (std::getline(lines, line)) {
    std::stringstream fields(line);
    std::string source, point, type, options;
    if (fields >> source >> point >> type >> options)
      mounts.push_back({source, Unescape(point), options});
  }
  // Further mounts of a device already listed (bind mounts, subvolumes) are no new drive; the
  // device of "/" is listed by "/" itself.
  std::set<std::string> seen;
  for (const Mount& m : mounts) {
    if (m.point == "/") seen.insert(m.source);
  }
  for (const Mount& m : mounts) {
    if (m.source.compare(0, 5, "/dev/") != 0 || m.point.empty() || m.point[0] != '/') continue;
    if (m.point == "/" || UnderPseudoFolder(m.point) || IsReadOnly(m.options)) continue;
    struct stat st;
    if (stat(m.point.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;  // e.g. a bound file
    if (!seen.insert(m.source).second) continue;
    roots.push_back(WithSlash(m.point));
  }
  return roots;
}

std::optional<uint64_t> SystemDriveProvider::FreeBytes(const std::string& path) {
  struct statvfs vfs;
  if (path.empty() || statvfs(path.c_str(), &vfs) != 0) return std::nullopt;
  return static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
}

FakeDriveProvider::FakeDriveProvider(std::vector<DriveInfo> drives, std::string systemRoot)
    : drives_(std::move(drives)), systemRoot_(WithSlash(std::move(systemRoot))) {
  for (DriveInfo& d : drives_) d.root = WithSlash(d.root);
}

std::vector<std::string> FakeDriveProvider::FixedDriveRoots() {
  std::vector<std::string> roots;
  for (const DriveInfo& d : drives_) roots.push_back(d.root);
  return roots;
}

std::optional<uint64_t> FakeDriveProvider::FreeBytes(const std::string& path) {
  std::string probe = WithSlash(path);
  const DriveInfo* best = nullptr;
  for (const DriveInfo& d : drives_) {
    if (probe.compare(0, d.root.size(), d.root) == 0 &&
        (!best || d.root.size() > best->root.size()))
      best = &d;
  }
  if (!best) return std::nullopt;
  return best->freeBytes;
}

void FakeDriveProvider::SetFree(const std::string& root, uint64_t freeBytes) {
  std::string key = WithSlash(root);
  for (DriveInfo& d : drives_) {
    if (d.root == key) d.freeBytes = freeBytes;
  }
}

namespace {
std::atomic<IDriveProvider*> g_provider{nullptr};
}  // namespace

IDriveProvider& Drives() {
  static SystemDriveProvider real;
  IDriveProvider* p = g_provider.load();
  return p ? *p : real;
}

void SetDriveProvider(IDriveProvider* provider) {
  g_provider.store(provider);
}

}  // namespace nuv::os
