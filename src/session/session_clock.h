// The controller's clock: task times are whole seconds since 1970.
#pragma once

#include <cstdint>
#include <ctime>

inline int64_t NowSeconds() { return static_cast<int64_t>(std::time(nullptr)); }
