#include "platform/os/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/os/files.h"
#include "platform/os/folders.h"

namespace nuv::os {

namespace {

std::string WithSlash(std::string dir) {
  if (dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

std::string LockFolder() {
  std::string overridden = GetEnvOr(kLockDirEnv);
  if (!overridden.empty()) return WithSlash(overridden);
  if (IsDirectory("/run/lock") && access("/run/lock", W_OK) == 0) return "/run/lock/";
  return TempFolder();
}

InstanceLock::InstanceLock(std::string_view name) {
  std::string fileName(name);
  for (char& c : fileName) {
    if (c == '/') c = '_';
  }
  path_ = LockFolder() + fileName + ".lock";
  // Close-on-exec: a spawned installer or product must not inherit (and so keep) the lock.
  int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
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
