#include "platform/os/thread_id.h"

#include <unistd.h>

namespace nuv::os {
uint32_t CurrentThreadId() { return static_cast<uint32_t>(gettid()); }
}  // namespace nuv::os
