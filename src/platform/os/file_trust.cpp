#include "platform/os/file_trust.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace nuv::os {

namespace {

bool TrustedOwner(uid_t uid) {
  return uid == 0 || uid == geteuid();
}

std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  std::vector<char> cwd(4096);
  if (!getcwd(cwd.data(), cwd.size())) return path;
  return std::string(cwd.data()) + "/" + path;
}

std::string ModeText(mode_t mode) {
  char text[16];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// Why one level is not to be trusted; `leaf` is the folder itself, which must not be writable by
// anyone else even when sticky.
std::string LevelDistrust(const std::string& path, bool leaf) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return path + ": missing";
  if (S_ISLNK(st.st_mode)) {
    // A link above the folder (such as /var/run) is used only when its owner could not have
    // pointed it elsewhere; the folder itself is never a link.
    if (leaf || !TrustedOwner(st.st_uid)) return path + ": a link";
    if (stat(path.c_str(), &st) != 0) return path + ": missing";
  }
  if (!S_ISDIR(st.st_mode)) return path + ": not a folder";
  if (!TrustedOwner(st.st_uid)) return path + ": owned by uid " + std::to_string(st.st_uid);
  const bool othersWrite = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  if (othersWrite && (leaf || (st.st_mode & S_ISVTX) == 0))
    return path + ": mode " + ModeText(st.st_mode);
  return {};
}

}  // namespace

std::string FolderDistrust(const std::string& folder) {
  if (folder.empty()) return "(empty): missing";
  // Without repeated or trailing slashes: a trailing one would make lstat follow a link.
  std::string path;
  for (char c : Absolute(folder))
    if (c != '/' || path.empty() || path.back() != '/') path += c;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  // From the root down, so the reason given is the highest level that fails.
  std::vector<std::string> levels = {"/"};
  for (size_t pos = 1; pos <= path.size() && path != "/"; ++pos)
    if (pos == path.size() || path[pos] == '/') levels.push_back(path.substr(0, pos));
  for (size_t i = 0; i < levels.size(); ++i)
    if (std::string why = LevelDistrust(levels[i], i + 1 == levels.size()); !why.empty())
      return why;
  return {};
}

bool MakeTrustedFolder(const std::string& folder, mode_t mode) {
  if (folder.empty()) return false;
  if (mkdir(folder.c_str(), mode) == 0) {
    // The umask may have taken bits the folder needs to be the mode asked for; never more.
    chmod(folder.c_str(), mode);
  }
  return IsTrustedFolder(folder);
}

bool IsOwnRegularFd(int fd) {
  struct stat st {};
  return fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
         st.st_nlink == 1;
}

bool IsOwnRegularFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         st.st_uid == geteuid() && st.st_nlink == 1;
}

}  // namespace nuv::os
