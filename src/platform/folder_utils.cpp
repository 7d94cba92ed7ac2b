#include "platform/folder_utils.h"

#include <cerrno>

#include "platform/os/drives.h"
#include "platform/os/file_trust.h"
#include "platform/os/files.h"
#include "platform/os/folders.h"
#include "platform/os/path_sep.h"
#include "xml/utf.h"

namespace platform {

using nuv::os::kWidePathSep;

namespace {

std::u16string Wide(const std::string& utf8) {
  return Utf8ToWide(utf8);
}
std::string Narrow(const std::u16string& wide) {
  return WideToUtf8(wide);
}

std::u16string WithSep(std::u16string path) {
  if (path.empty() || path.back() != kWidePathSep) path += kWidePathSep;
  return path;
}

// Resolves "//", "." and ".." without touching the file system, so "/home/../usr" cannot hide a
// system folder. A trailing '/' is kept.
std::u16string Normalise(const std::u16string& path) {
  bool absolute = !path.empty() && path[0] == kWidePathSep;
  std::vector<std::u16string> parts;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find(kWidePathSep, pos);
    if (end == std::u16string::npos) end = path.size();
    std::u16string part = path.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == u".") continue;
    if (part == u"..") {
      if (!parts.empty() && parts.back() != u"..") {
        parts.pop_back();
      } else if (!absolute) {
        parts.push_back(part);
      }
      continue;
    }
    parts.push_back(part);
  }
  std::u16string out = absolute ? u"/" : u"";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += kWidePathSep;
    out += parts[i];
  }
  if (!path.empty() && path.back() == kWidePathSep && !parts.empty()) out += kWidePathSep;
  return out;
}

std::u16string MakerSubFolder(const std::u16string& base, const std::u16string& name) {
  std::u16string folder = base + (name.empty() ? std::u16string(kDefaultMakerFolder) : name);
  folder = WithSep(folder);
  CreateFolderChain(folder);
  return folder;
}

}  // namespace

bool GetProgramFilesFolders(std::u16string& x86Folder, std::u16string& nativeFolder) {
  x86Folder = Wide(nuv::os::ProgramFilesFolder());
  nativeFolder = x86Folder;
  return true;
}

bool IsUnderSystemFolder(const std::u16string& path) {
  static const char16_t* const kSystemFolders[] = {u"/usr/",   u"/bin/",   u"/sbin/",   u"/lib/",
                                                   u"/lib32/", u"/lib64/", u"/libx32/", u"/etc/",
                                                   u"/boot/",  u"/proc/",  u"/sys/",    u"/dev/"};
  if (path.empty()) return false;
  std::u16string q = WithSep(Normalise(path));
  auto startsWith = [&](const std::u16string& prefix) {
    return q.compare(0, prefix.size(), prefix) == 0;
  };
  for (const char16_t* folder : kSystemFolders) {
    if (startsWith(folder)) return true;
  }
  std::u16string programFiles = WithSep(Normalise(Wide(nuv::os::ProgramFilesFolder())));
  return startsWith(programFiles);
}

std::u16string GetSharedDocumentsFolder(const std::u16string& name) {
  return MakerSubFolder(Wide(nuv::os::SharedDocumentsFolder()), name);
}

std::u16string GetTempSubFolder(const std::u16string& name) {
  return MakerSubFolder(Wide(nuv::os::TempFolder()), name);
}

std::u16string GetModuleSubFolder(const std::u16string& name) {
  std::u16string folder = ParentFolder(GetModulePath());
  if (folder.empty()) return {};
  return MakerSubFolder(folder, name);
}

bool CanWriteToFolder(const std::u16string& folder) {
  if (folder.empty()) return false;
  std::string probe = Narrow(WithSep(folder)) + "nuv.tmp";
  if (nuv::os::CreateNewFile(probe)) {
    nuv::os::RemoveFile(probe);
    return true;
  }
  // Our own probe left behind by an interrupted run is taken away and tried once more; anything
  // else under that name (a link, someone else's file) means the folder is not ours to write.
  if (errno != EEXIST || !nuv::os::IsOwnRegularFile(probe)) return false;
  nuv::os::RemoveFile(probe);
  if (!nuv::os::CreateNewFile(probe)) return false;
  nuv::os::RemoveFile(probe);
  return true;
}

uint64_t GetFreeDiskSpace(const std::u16string& folder) {
  if (folder.empty()) return 0;
  return nuv::os::Drives().FreeBytes(Narrow(folder)).value_or(0);
}

void ListFixedDrives(std::vector<std::u16string>& drives) {
  drives.clear();
  for (const std::string& root : nuv::os::Drives().FixedDriveRoots()) drives.push_back(Wide(root));
}

std::u16string GetSystemDriveRoot() {
  return Wide(nuv::os::Drives().SystemDriveRoot());
}

std::u16string GetDriveRootOf(const std::u16string& path) {
  std::u16string probe = WithSep(path);
  std::u16string best;
  for (const std::string& root : nuv::os::Drives().FixedDriveRoots()) {
    std::u16string r = Wide(root);
    if (probe.compare(0, r.size(), r) == 0 && r.size() > best.size()) best = r;
  }
  return best.empty() ? std::u16string(1, kWidePathSep) : best;
}

std::u16string GetModulePath() {
  return Wide(nuv::os::ModulePath());
}

std::u16string GetModuleFileName() {
  std::u16string path = GetModulePath();
  size_t sep = path.rfind(kWidePathSep);
  return sep == std::u16string::npos ? path : path.substr(sep + 1);
}

std::u16string GetModuleFolder() {
  std::u16string path = GetModulePath();
  size_t sep = path.rfind(kWidePathSep);
  return sep == std::u16string::npos ? std::u16string() : path.substr(0, sep);
}

std::u16string GetShellUserLocalAppData() {
  return Wide(nuv::os::DesktopUserLocalAppData());
}

bool FolderExists(const std::u16string& path) {
  return !path.empty() && nuv::os::IsDirectory(Narrow(path));
}

std::u16string ParentFolder(const std::u16string& path) {
  size_t sep = path.rfind(kWidePathSep);
  return sep == std::u16string::npos ? std::u16string() : path.substr(0, sep + 1);
}

bool CreateFolderChain(const std::u16string& path) {
  if (path.empty()) return false;
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] != kWidePathSep && i + 1 != path.size()) continue;
    std::string prefix = Narrow(path.substr(0, i + 1));
    if (nuv::os::PathExists(prefix)) continue;
    if (!nuv::os::MakeDirectory(prefix)) return false;
  }
  return true;
}

void ListFiles(const std::u16string& folder, std::vector<std::u16string>& out, bool recurse,
               bool includeFolders) {
  std::u16string base = WithSep(folder);
  std::optional<std::vector<nuv::os::DirEntry>> entries = nuv::os::ListDirectory(Narrow(base));
  if (!entries) return;
  for (const nuv::os::DirEntry& e : *entries) {
    std::u16string path = base + Wide(e.name);
    if (!e.isDirectory) {
      out.push_back(path);
      continue;
    }
    path += kWidePathSep;
    if (includeFolders) out.push_back(path);
    if (recurse) ListFiles(path, out, recurse, includeFolders);
  }
}

std::string FileNameOf(const std::u16string& path, bool keepExtension) {
  size_t sep = path.rfind(kWidePathSep);
  std::u16string name = sep == std::u16string::npos ? path : path.substr(sep + 1);
  if (!keepExtension) {
    size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos) name.resize(dot);
  }
  return Narrow(name);
}

std::string ExtensionOf(const std::u16string& path) {
  size_t sep = path.rfind(kWidePathSep);
  size_t start = sep == std::u16string::npos ? 0 : sep + 1;
  size_t dot = path.rfind(u'.');
  if (dot == std::u16string::npos || dot < start) return {};
  return Narrow(path.substr(dot));
}

}  // namespace platform
