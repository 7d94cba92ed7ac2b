// The version text ("a.b.c.d") an ELF file carries in its ".nuv_version" section (CMake:
// nuv_version_section(<target> "a.b.c.d")).
#pragma once

#include <optional>
#include <string>

namespace nuv::os {

inline constexpr const char* kVersionSectionName = ".nuv_version";

// The section's text up to its first NUL; nothing when the file is not a readable 64-bit
// little-endian ELF file or has no such section.
std::optional<std::string> ReadVersionSection(const std::string& path);

}  // namespace nuv::os
