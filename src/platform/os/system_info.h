// Facts about the running system that the version helpers report.
#pragma once

#include <array>
#include <optional>

namespace nuv::os {

// major.minor.patch of the kernel release (uname), missing parts 0; nothing when unreadable.
std::optional<std::array<int, 3>> KernelVersion();

}  // namespace nuv::os
