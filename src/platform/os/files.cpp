#include "platform/os/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace nuv::os {

bool PathExists(const std::string& path) {
  struct stat st;
  return !path.empty() && lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectory(const std::string& path) {
  if (path.empty()) return false;
  if (mkdir(path.c_str(), 0755) == 0) return true;
  return errno == EEXIST && IsDirectory(path);
}

bool CreateNewFile(const std::string& path) {
  if (path.empty()) return false;
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  return close(fd) == 0;
}

bool RemoveFile(const std::string& path) {
  return !path.empty() && unlink(path.c_str()) == 0;
}

std::optional<std::string> ReadFile(const std::string& path, bool followLinks) {
  // Non-blocking, so that a FIFO in the file's place cannot hold the caller at the open.
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW);
  int fd = open(path.c_str(), flags);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    close(fd);
    errno = error;
    return std::nullopt;
  }
  std::string out;
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return out;
}

std::optional<std::vector<DirEntry>> ListDirectory(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (!dir) return std::nullopt;
  std::vector<DirEntry> out;
  std::string base = path;
  if (!base.empty() && base.back() != '/') base += '/';
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    bool isDir = false;
    if (e->d_type == DT_DIR) {
      isDir = true;
    } else if (e->d_type == DT_UNKNOWN) {
      struct stat st;
      isDir = lstat((base + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    out.push_back({std::move(name), isDir});
  }
  closedir(dir);
  std::sort(out.begin(), out.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return out;
}

}  // namespace nuv::os
