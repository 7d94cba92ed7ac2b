// Available physical memory (MemAvailable of /proc/meminfo).
#pragma once

#include <cstdint>
#include <string>

namespace nuv::os {

// Bytes of available memory; 0 when it cannot be read.
uint64_t AvailablePhysicalMemory();
// Parses the text of a meminfo file ("MemAvailable:   123 kB"); false when the line is missing.
bool ParseMemAvailable(const std::string& meminfoText, uint64_t& bytes);

}  // namespace nuv::os
