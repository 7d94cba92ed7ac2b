#include "engine/resume_record.h"

#include "platform/os/file_trust.h"
#include "platform/os/sized_file.h"

namespace ns_NUK {

namespace {

void PutLe64(std::string& out, int64_t v) {
  const uint64_t u = static_cast<uint64_t>(v);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xff));
}

int64_t GetLe64(const unsigned char* p) {
  uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = (u << 8) | p[i];
  return static_cast<int64_t>(u);
}

}  // namespace

std::string EncodeResumeRecord(const std::vector<RangeEntry>& entries) {
  std::string out;
  if (entries.empty()) return out;
  out.reserve(entries.size() * 16 + 8);
  for (const RangeEntry& e : entries) {
    PutLe64(out, e.first);
    PutLe64(out, e.second);
  }
  PutLe64(out, static_cast<int64_t>(entries.size()));
  return out;
}

bool LoadResumeRecord(const std::string& path, int64_t total, std::map<int64_t, int64_t>& ranges) {
  ranges.clear();
  if (total <= 0) return false;
  int error = 0;
  const int fd = nuv::os::OpenRead(path, error);
  if (fd < 0) return false;
  // A record in a file someone else made or linked is no record of ours.
  if (!nuv::os::IsOwnRegularFd(fd)) {
    nuv::os::CloseFd(fd);
    return false;
  }
  bool ok = false;
  std::map<int64_t, int64_t> read;
  do {
    const int64_t size = nuv::os::FdSize(fd);
    if (size <= total) break;
    unsigned char buf[16];
    if (!nuv::os::ReadAt(fd, size - 8, buf, 8)) break;
    const int64_t n = GetLe64(buf);
    // The record must end the file exactly: a truncated record or one written for another total
    // (a changed package) is not used.
    if (n <= 0 || n > (size - total - 8) / 16 || total + 16 * n + 8 != size) break;
    int64_t sum = 0;
    bool sound = true;
    for (int64_t j = 0; j < n && sound; ++j) {
      if (!nuv::os::ReadAt(fd, total + 16 * j, buf, 16)) {
        sound = false;
        break;
      }
      const int64_t first = GetLe64(buf);
      const int64_t last = GetLe64(buf + 8);
      if (first < 0 || first > last || last >= total)
        sound = false;
      else if ((sum += last - first + 1) > total)
        sound = false;
      else if (auto it = read.find(first); it == read.end() || it->second < last)
        read[first] = last;
    }
    ok = sound;
  } while (false);
  nuv::os::CloseFd(fd);
  if (!ok) return false;
  // Join overlapping or repeated entries so that no byte is fetched twice.
  for (const auto& [first, last] : read) {
    if (!ranges.empty()) {
      auto prev = std::prev(ranges.end());
      if (first <= prev->second + 1) {
        if (last > prev->second) prev->second = last;
        continue;
      }
    }
    ranges.emplace(first, last);
  }
  return !ranges.empty();
}

int64_t CachedBytes(int64_t total, const std::map<int64_t, int64_t>& ranges) {
  int64_t missing = 0;
  for (const auto& [first, last] : ranges) missing += last - first + 1;
  return total - missing;
}

}  // namespace ns_NUK
