#include "analytics/sdk/staging_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace analytics_sdk {

bool LooksLikeRecord(const std::string& line) {
  if (line.size() < 2 || line.front() != '{' || line.back() != '}') return false;
  int depth = 0;
  bool inString = false;
  bool escaped = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      if (--depth < 0) return false;
      if (depth == 0 && i + 1 != line.size()) return false;
    }
  }
  return depth == 0 && !inString;
}

namespace {

// Collects lines from the end of the file towards its start.
class BackwardLines {
 public:
  BackwardLines(size_t maxLines) : maxLines_(maxLines) {}

  // Feeds one complete line (found right to left); true when enough were found.
  bool Take(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (LooksLikeRecord(line)) found_.push_back(std::move(line));
    return found_.size() >= maxLines_;
  }

  std::vector<std::string> InFileOrder() {
    std::reverse(found_.begin(), found_.end());
    return std::move(found_);
  }

 private:
  size_t maxLines_;
  std::vector<std::string> found_;
};

}  // namespace

std::vector<std::string> ReadStagedRecords(const std::string& path, size_t maxLines) {
  if (maxLines == 0) return {};
  // Never through a link, and only a regular file: a FIFO in its place would hold the reader.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat kind {};
  FILE* file = fstat(fd, &kind) == 0 && S_ISREG(kind.st_mode) ? fdopen(fd, "rb") : nullptr;
  if (!file) {
    ::close(fd);
    return {};
  }
  BackwardLines lines(maxLines);
  struct stat st {};
  off_t pos = (fstat(fileno(file), &st) == 0) ? st.st_size : 0;
  const off_t stopAt = pos > static_cast<off_t>(kMaxStagingScanBytes)
                           ? pos - static_cast<off_t>(kMaxStagingScanBytes)
                           : 0;

  constexpr size_t kBlock = 64 * 1024;
  std::vector<char> block(kBlock);
  std::string carry;      // the right part of a line whose start is not read yet, reversed
  bool overlong = false;  // the current line passed the length limit and is being skipped
  bool done = false;
  while (!done && pos > stopAt) {
    const size_t n = static_cast<size_t>(std::min<off_t>(kBlock, pos - stopAt));
    pos -= static_cast<off_t>(n);
    if (fseeko(file, pos, SEEK_SET) != 0 || std::fread(block.data(), 1, n, file) != n) break;
    for (size_t i = n; i-- > 0 && !done;) {
      const char c = block[i];
      if (c == '\n') {
        if (!overlong && !carry.empty()) {
          std::string line(carry.rbegin(), carry.rend());
          done = lines.Take(std::move(line));
        }
        carry.clear();
        overlong = false;
      } else if (!overlong) {
        carry.push_back(c);
        if (carry.size() > kMaxStagedLineBytes) {
          carry.clear();
          overlong = true;
        }
      }
    }
  }
  // The first line of the file has no newline before it; a line cut by the scan limit is not
  // taken.
  if (!done && pos == 0 && !overlong && !carry.empty())
    lines.Take(std::string(carry.rbegin(), carry.rend()));
  std::fclose(file);
  return lines.InFileOrder();
}

void TruncateStagingFile(const std::string& path) {
  // Missing file: nothing to empty. A link is not followed.
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  if (::ftruncate(fd, 0) != 0) {
    // Nothing more to do: the next write appends after the old records.
  }
  ::close(fd);
}

bool WriteStagedRecords(const std::string& path, const std::vector<std::string>& records) {
  std::string text;
  for (const std::string& record : records) text += record + "\n";
  // Never through a link, and a FIFO in its place cannot hold the writer.
  const int fd = ::open(path.c_str(),
                        O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool closed = ::close(fd) == 0;
  return done == text.size() && closed;
}

}  // namespace analytics_sdk
