// Single-instance guard: an exclusive flock on <lock folder>/<name>.lock (mode 0600), held for the
// object's life. A file under that name that is not ours is not honoured: it is replaced.
#pragma once

#include <string>
#include <string_view>

namespace nuv::os {

// Overrides the lock folder (tests) when it is a folder only we can write to; otherwise /run/nuv
// (made 0700), else the private temporary folder.
inline constexpr const char* kLockDirEnv = "NUV_LOCK_DIR";

// The folder lock files go to, ending in '/'.
std::string LockFolder();

class InstanceLock {
 public:
  // Tries to take the lock at once (never waits). '/' in the name becomes '_'.
  explicit InstanceLock(std::string_view name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Another holder (this or another process) already had it: the "already existed" case.
  bool AlreadyExisted() const { return alreadyExisted_; }
  // This object holds the lock.
  bool Held() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  // Gives the lock up early; the destructor does the same.
  void Release();

 private:
  std::string path_;
  int fd_ = -1;
  bool alreadyExisted_ = false;
};

}  // namespace nuv::os
