#include "engine/package_file.h"

#include <cerrno>

#include "log/simple_log.h"
#include "platform/os/file_holders.h"
#include "platform/os/file_trust.h"
#include "platform/os/files.h"
#include "platform/os/sized_file.h"

namespace ns_NUK {

int CreateSizedFile(const std::string& path, int64_t size, int& error) {
  error = 0;
  if (path.empty()) return kSizedEmptyPath;
  int removeError = 0;
  if (!nuv::os::UnlinkFile(path, &removeError))
    NUV_LOG(2, "[WARN] before create, delete file=[%s], error=[%d].", path.c_str(), removeError);
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    const std::string folder = path.substr(0, slash + 1);
    if (!nuv::os::IsDirectory(folder)) nuv::os::MakeDirectories(folder);
  }
  const int fd = nuv::os::CreateForWrite(path, error);
  NUV_LOG(3, "[INFO] create file=[%s], hFile=[%d], error=[%d].", path.c_str(), fd, error);
  if (fd < 0) return kSizedFailed;
  int result = kSizedOk;
  if (size > 0) {
    const int rc = nuv::os::Reserve(fd, size);
    if (rc != 0) {
      error = rc;
      result = (rc == ENOSPC || rc == EDQUOT) ? kSizedNoSpace : kSizedFailed;
    }
  }
  nuv::os::CloseFd(fd);
  if (result != kSizedOk) nuv::os::UnlinkFile(path, nullptr);
  return result;
}

void LogFileLockers(const std::string& path) {
  const std::vector<nuv::os::FileHolder> holders = nuv::os::FileHolders(path);
  // As the system it replaces, a list longer than ten is not reported at all.
  if (holders.size() > 10) return;
  const int self = nuv::os::OwnProcessId();
  for (const nuv::os::FileHolder& h : holders) {
    if (h.pid == self) continue;
    NUV_LOG(2, "[WARN] process=[%d][%s] locked the file=[%s] ", h.pid, h.name.c_str(),
            path.c_str());
  }
}

int64_t PackageFile::Write(int64_t offset, int64_t length, const void* data) {
  return WriteLocked(offset, length, data, false);
}

int64_t PackageFile::WriteAndEnd(int64_t offset, int64_t length, const void* data) {
  return WriteLocked(offset, length, data, true);
}

int64_t PackageFile::WriteLocked(int64_t offset, int64_t length, const void* data, bool setEnd) {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ < 0) return 0;
  if (offset < 0) {
    NUV_LOG(1, "[ERROR] multi, write file data failed! seek failed, err=[%d].", EINVAL);
    return 0;
  }
  int error = 0;
  if (!nuv::os::WriteAt(fd_, offset, data, length, error)) {
    NUV_LOG(1, "[ERROR] multi, write file data failed! write size=[%d], err=[%d].",
            static_cast<int>(length), error);
    return 0;
  }
  if (setEnd && !nuv::os::Truncate(fd_, offset + length, error))
    NUV_LOG(1, "[ERROR] multi, write file data failed! set end, err=[%d].", error);
  return length;
}

bool PackageFile::OpenForWrite(const std::string& path) {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ >= 0) nuv::os::CloseFd(fd_);
  int error = 0;
  fd_ = nuv::os::OpenReadWrite(path, error);
  // Only a file this process made is written: another user's file, or a second name of one,
  // would carry our bytes to a place that user chose.
  if (fd_ >= 0 && !nuv::os::IsOwnRegularFd(fd_)) {
    nuv::os::CloseFd(fd_);
    fd_ = -1;
    errno = EPERM;
  }
  return fd_ >= 0;
}

void PackageFile::CloseFile() {
  std::lock_guard<std::mutex> guard(lock_);
  nuv::os::CloseFd(fd_);
  fd_ = -1;
}

bool PackageFile::IsOpen() {
  std::lock_guard<std::mutex> guard(lock_);
  return fd_ >= 0;
}

}  // namespace ns_NUK
