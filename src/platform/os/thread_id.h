// The kernel's numeric id of the calling thread (what the log prints).
#pragma once

#include <cstdint>

namespace nuv::os {
uint32_t CurrentThreadId();
}
