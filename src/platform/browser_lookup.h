// The user's preferred web browser as the machine's registry names it.
#pragma once

#include <string>

namespace platform {

// Chrome, Firefox, then Safari from their App Paths (default view, then the 32-bit view); else
// Opera's quoted program from its classes-root open command. Only a program that exists and can
// be started counts. Empty when none is found.
std::u16string FindPreferredBrowser();

}  // namespace platform
