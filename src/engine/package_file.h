// The task's temporary package file: created at full size with its blocks reserved, written at
// arbitrary offsets by every connection through IFileWriter, one write at a time.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace ns_NUK {

class IFileWriter {
 public:
  virtual ~IFileWriter() = default;
  // Writes the bytes at the offset; the length when they were written, else 0.
  virtual int64_t Write(int64_t offset, int64_t length, const void* data) = 0;
};

enum SizedFileResult { kSizedOk = 0, kSizedFailed = 1, kSizedNoSpace = 2, kSizedEmptyPath = 3 };

// Deletes any file at the path, creates its folder chain and the file, new and ours, with `size`
// bytes reserved.
// On failure the file is deleted again; `error` is the system error of the failing step.
int CreateSizedFile(const std::string& path, int64_t size, int& error);

// Logs "[WARN] process=[..][..] locked the file=[..] " for every other process holding the file.
void LogFileLockers(const std::string& path);

class PackageFile : public IFileWriter {
 public:
  ~PackageFile() override { CloseFile(); }
  int64_t Write(int64_t offset, int64_t length, const void* data) override;
  // The same, then the file ends right after the written bytes (for the resume record).
  int64_t WriteAndEnd(int64_t offset, int64_t length, const void* data);
  // Opens an existing file of our own (regular, ours, one name; never through a link).
  bool OpenForWrite(const std::string& path);
  void CloseFile();
  bool IsOpen();

 private:
  int64_t WriteLocked(int64_t offset, int64_t length, const void* data, bool setEnd);

  std::mutex lock_;  // the file lock: one positioned write at a time, and the descriptor
  int fd_ = -1;
};

}  // namespace ns_NUK
