// Pieces the fuzz targets share: a scratch file for parsers that read from a path, and the
// ways of turning the fuzzer's bytes into the texts the parsers take.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// One file in a private folder of this process (in memory when /dev/shm exists), rewritten for
// every input and removed at exit. The descriptor stays open: creating and truncating a file per
// input on a disk file system costs milliseconds.
class ScratchFile {
 public:
  ScratchFile() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (tmp && *tmp ? tmp : "/tmp");
    std::string pattern = base + "/nuv-fuzz-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) std::abort();
    folder_ = buffer.data();
    path_ = folder_ + "/input";
    fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) std::abort();
  }
  ~ScratchFile() {
    close(fd_);
    unlink(path_.c_str());
    rmdir(folder_.c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Replaces the file's bytes; the path stays the same.
  const std::string& Write(const uint8_t* data, size_t size) {
    if (ftruncate(fd_, 0) != 0) std::abort();
    for (size_t done = 0; done < size;) {
      const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
    return path_;
  }

 private:
  std::string folder_;
  std::string path_;
  int fd_ = -1;
};

// The bytes as UTF-16 code units, little-endian, every unit kept (NUL included); an odd last
// byte is dropped.
inline std::u16string Units(const uint8_t* data, size_t size) {
  std::u16string out(size / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  return out;
}

// The bytes cut at every NUL byte, as argv-like pieces (empty pieces kept).
inline std::vector<std::string> SplitAtNul(const uint8_t* data, size_t size) {
  std::vector<std::string> pieces;
  std::string_view all(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string_view::npos) end = all.size();
    pieces.emplace_back(all.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

// Stops the run with the input saved when an invariant of the parser does not hold.
#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

}  // namespace fuzz
