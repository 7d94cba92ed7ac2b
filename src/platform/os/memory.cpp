#include "platform/os/memory.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace nuv::os {

bool ParseMemAvailable(const std::string& text, uint64_t& bytes) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("MemAvailable:", 0) != 0) continue;
    unsigned long long kb = 0;
    if (std::sscanf(line.c_str() + 13, "%llu", &kb) != 1) return false;
    bytes = static_cast<uint64_t>(kb) * 1024;
    return true;
  }
  return false;
}

uint64_t AvailablePhysicalMemory() {
  std::ifstream in("/proc/meminfo");
  if (!in) return 0;
  std::stringstream text;
  text << in.rdbuf();
  uint64_t bytes = 0;
  return ParseMemAvailable(text.str(), bytes) ? bytes : 0;
}

}  // namespace nuv::os
