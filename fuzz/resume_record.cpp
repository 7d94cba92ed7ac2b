// The resume record at the end of a temporary package file: whatever the file holds, a record
// is either refused or yields sound, joined ranges inside the package.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "engine/resume_record.h"
#include "fuzz_support.h"

namespace {

int64_t Le64(const uint8_t* p) {
  uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = (u << 8) | p[i];
  return static_cast<int64_t>(u);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ScratchFile file;
  // Byte 0 chooses the package size the caller expects: odd takes it from the next eight bytes,
  // even derives it from the file so that the size check passes and the entries are read.
  if (size < 9) return 0;
  const bool given = data[0] & 1;
  int64_t total = Le64(data + 1);
  const uint8_t* body = data + 9;
  const size_t length = size - 9;
  if (!given) {
    if (length < 8) return 0;
    const int64_t n = Le64(body + length - 8);
    if (n <= 0 || n > static_cast<int64_t>(length / 16)) return 0;
    total = static_cast<int64_t>(length) - 16 * n - 8;
  }
  std::map<int64_t, int64_t> ranges;
  const bool ok = ns_NUK::LoadResumeRecord(file.Write(body, length), total, ranges);
  FUZZ_CHECK(ok == !ranges.empty());
  if (!ok) return 0;

  // Sorted, inside [0, total), neither overlapping nor touching (touching ones are joined).
  int64_t previousLast = -2;
  std::vector<ns_NUK::RangeEntry> entries;
  for (const auto& [first, last] : ranges) {
    FUZZ_CHECK(first >= 0 && first <= last && last < total);
    FUZZ_CHECK(first > previousLast + 1);
    previousLast = last;
    entries.emplace_back(first, last);
  }
  const int64_t cached = ns_NUK::CachedBytes(total, ranges);
  FUZZ_CHECK(cached >= 0 && cached < total);

  // What the engine writes back for those ranges loads as the same ranges.
  if (total > (1 << 20)) return 0;
  std::string rewritten(static_cast<size_t>(total), '\0');
  rewritten += ns_NUK::EncodeResumeRecord(entries);
  std::map<int64_t, int64_t> again;
  FUZZ_CHECK(ns_NUK::LoadResumeRecord(
      file.Write(reinterpret_cast<const uint8_t*>(rewritten.data()), rewritten.size()), total,
      again));
  FUZZ_CHECK(again == ranges);
  return 0;
}
