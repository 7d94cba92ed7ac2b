// Cryptographic random bytes from the kernel (getrandom).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace nuv::os {

// Fills the buffer completely; false when the kernel can't deliver.
bool FillRandom(void* buffer, size_t size);
// size random bytes, or nothing on failure.
std::optional<std::string> RandomBytes(size_t size);

}  // namespace nuv::os
