#include "platform/os/random.h"

#include <sys/random.h>

#include <cerrno>

namespace nuv::os {

bool FillRandom(void* buffer, size_t size) {
  auto* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  // Large requests may come back partially; every try either makes progress or fails.
  while (done < size) {
    ssize_t n = getrandom(out + done, size - done, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::optional<std::string> RandomBytes(size_t size) {
  std::string out(size, '\0');
  if (size > 0 && !FillRandom(out.data(), size)) return std::nullopt;
  return out;
}

}  // namespace nuv::os
