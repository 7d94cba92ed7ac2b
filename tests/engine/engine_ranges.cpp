#include "engine_ranges.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "engine_temp_dir.h"

namespace enginetest {

long long CachedFromLog(const std::string& logFile) {
  const std::string text = ReadAll(logFile);
  long long cached = -1;
  for (size_t pos = text.find("cached=["); pos != std::string::npos;
       pos = text.find("cached=[", pos + 1))
    cached = std::atoll(text.c_str() + pos + 8);
  return cached;
}

bool WaitForLogLine(const std::string& logFile, const std::string& text,
                    std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (ReadAll(logFile).find(text) != std::string::npos) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

long long RequestedBytes(const std::vector<testbed::RecordedRequest>& requests,
                         const std::string& path) {
  std::vector<std::pair<long long, long long>> ranges;
  for (const auto& r : requests) {
    if (r.method != "GET" || r.path != path) continue;
    long long a = 0, b = -1;
    const std::string range = r.Header("Range");
    if (std::sscanf(range.c_str(), "bytes=%lld-%lld", &a, &b) < 1) a = 0;
    if (b < a) b = (1LL << 62);  // open range: to the end
    ranges.emplace_back(a, b);
  }
  std::sort(ranges.begin(), ranges.end());
  long long sum = 0, curA = -1, curB = -2;
  for (const auto& [a, b] : ranges) {
    if (a > curB + 1) {
      if (curB >= curA && curA >= 0) sum += curB - curA + 1;
      curA = a;
      curB = b;
    } else {
      curB = std::max(curB, b);
    }
  }
  if (curA >= 0 && curB >= curA) sum += curB - curA + 1;
  return sum;
}

}  // namespace enginetest
