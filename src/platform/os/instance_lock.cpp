#include "platform/os/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/os/file_trust.h"
#include "platform/os/files.h"
#include "platform/os/folders.h"

namespace nuv::os {

namespace {

constexpr const char* kSystemLockFolder = "/run/nuv";

std::string WithSlash(std::string dir) {
  if (dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

std::string LockFolder() {
  // A lock folder others can write to would let them take the name first.
  std::string overridden = GetEnvOr(kLockDirEnv);
  if (!overridden.empty())
    return !PathExists(overridden) || IsTrustedFolder(overridden) ? WithSlash(overridden)
                                                                  : TempFolder();
  if (MakeTrustedFolder(kSystemLockFolder, 0700) && access(kSystemLockFolder, W_OK) == 0)
    return WithSlash(kSystemLockFolder);
  return TempFolder();
}

namespace {

int OpenOwnLockFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0 && IsOwnRegularFd(fd)) return fd;
  if (fd >= 0) close(fd);
  // Not ours (another user's file, a link, a hard link): it is not honoured. The name is taken
  // back for a file of our own.
  if (unlink(path.c_str()) != 0 && errno != ENOENT) return -1;
  return open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

}  // namespace

InstanceLock::InstanceLock(std::string_view name) {
  std::string fileName(name);
  for (char& c : fileName) {
    if (c == '/') c = '_';
  }
  path_ = LockFolder() + fileName + ".lock";
  // Close-on-exec: a spawned installer or product must not inherit (and so keep) the lock.
  int fd = OpenOwnLockFile(path_);
  if (fd < 0) return;
  // Readable by nobody else: a shared lock taken by another user would stop every later start.
  fchmod(fd, 0600);
  int rc;
  do {
    rc = flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    alreadyExisted_ = errno == EWOULDBLOCK;
    close(fd);
    return;
  }
  fd_ = fd;
}

InstanceLock::~InstanceLock() {
  Release();
}

void InstanceLock::Release() {
  // The file stays: unlinking a flock file lets a third process lock a fresh inode while a second
  // one still holds the old.
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
}

}  // namespace nuv::os
