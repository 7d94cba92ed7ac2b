// The one file-system path separator of the build; registry key paths keep their backslashes.
#pragma once

namespace nuv::os {
inline constexpr char kPathSep = '/';
inline constexpr char16_t kWidePathSep = u'/';
}  // namespace nuv::os
