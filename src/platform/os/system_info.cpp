#include "platform/os/system_info.h"

#include <sys/utsname.h>

#include <cctype>

namespace nuv::os {

std::optional<std::array<int, 3>> KernelVersion() {
  utsname info;
  if (uname(&info) != 0) return std::nullopt;
  // "6.1.0-18-amd64": leading dotted numbers, the rest is the distribution's.
  std::array<int, 3> parts{0, 0, 0};
  const char* p = info.release;
  if (!std::isdigit(static_cast<unsigned char>(*p))) return std::nullopt;
  for (int i = 0; i < 3; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(*p))) break;
    int v = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
      if (v < 100000000) v = v * 10 + (*p - '0');
      ++p;
    }
    parts[i] = v;
    if (*p != '.') break;
    ++p;
  }
  return parts;
}

}  // namespace nuv::os
