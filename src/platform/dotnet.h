// .NET Framework detection over the registry store, and the run of the embedded checker program.
// Every check answers false on any registry or process failure; none logs.
#pragma once

#include <chrono>
#include <string>

#include "platform/process_launch.h"

namespace platform {

inline constexpr const char16_t* kNetCheckerFileName = u"NFWCHK.exe";
inline constexpr const char16_t* kNetCheckerConfigSuffix = u".config";
inline constexpr int kNetCheckerResourceId = 105;        // "EXE"
inline constexpr int kNetCheckerConfigResourceId = 109;  // "XML"

// The 2.0 policy key (either spelling) opens and "InstallRoot" is a non-empty text.
bool IsNet2Present();

// With IsNet2Present: sets HKLM .NETFramework "NoGuiFromShim" to 1 for the run when it was 0 or
// missing (and puts back what was there afterwards), runs the checker hidden within the limit; true
// when it exited with 0.
bool RunNetChecker(const std::u16string& checkerPath,
                   std::chrono::milliseconds limit = kHiddenRunLimit);

// Whether an installed 2.x/3.x/4.x family satisfies "major.minor" (NDP subkeys; a 4.x request only
// by 4.x, a 2.x or 3.x request by any 2.x or 3.x at least as new).
bool IsNetVersionInstalled(const std::u16string& versionText);

// Writes resource "EXE" 105 to folder + NFWCHK.exe (executable) and "XML" 109 next to it as
// NFWCHK.exe.config (each overwritten), runs the checker hidden within the limit, deletes both
// files. True when it ended with 0 in time; false also when a file can't be written.
bool RunEmbeddedNetChecker(const std::u16string& folder,
                           std::chrono::milliseconds limit = kHiddenRunLimit);

}  // namespace platform
