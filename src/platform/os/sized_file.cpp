#include "platform/os/sized_file.h"

#include "platform/os/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace nuv::os {

bool UnlinkFile(const std::string& path, int* error) {
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  if (error) *error = errno;
  return false;
}

bool MakeDirectories(const std::string& folder) {
  if (folder.empty()) return false;
  for (size_t pos = 1; pos <= folder.size(); ++pos) {
    if (pos != folder.size() && folder[pos] != '/') continue;
    const std::string part = folder.substr(0, pos);
    if (IsDirectory(part)) continue;
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return IsDirectory(folder);
}

int CreateForWrite(const std::string& path, int& error) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  error = fd < 0 ? errno : 0;
  return fd;
}

int OpenReadWrite(const std::string& path, int& error) {
  const int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  error = fd < 0 ? errno : 0;
  return fd;
}

int OpenRead(const std::string& path, int& error) {
  // Non-blocking: a FIFO under the name must not hold the download at the open.
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  error = fd < 0 ? errno : 0;
  return fd;
}

void CloseFd(int fd) {
  if (fd >= 0) close(fd);
}

int Reserve(int fd, int64_t size) {
  if (size <= 0) return 0;
  return posix_fallocate(fd, 0, static_cast<off_t>(size));
}

bool WriteAt(int fd, int64_t offset, const void* data, int64_t length, int& error) {
  const char* p = static_cast<const char*>(data);
  while (length > 0) {
    const ssize_t n = pwrite(fd, p, static_cast<size_t>(length), static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    if (n == 0) {
      error = EIO;
      return false;
    }
    p += n;
    offset += n;
    length -= n;
  }
  error = 0;
  return true;
}

bool ReadAt(int fd, int64_t offset, void* data, int64_t length) {
  char* p = static_cast<char*>(data);
  while (length > 0) {
    const ssize_t n = pread(fd, p, static_cast<size_t>(length), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    offset += n;
    length -= n;
  }
  return true;
}

bool Truncate(int fd, int64_t size, int& error) {
  if (ftruncate(fd, static_cast<off_t>(size)) == 0) {
    error = 0;
    return true;
  }
  error = errno;
  return false;
}

int64_t FdSize(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool RenameFile(const std::string& from, const std::string& to, int& error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) {
    error = 0;
    return true;
  }
  error = errno;
  return false;
}

}  // namespace nuv::os
