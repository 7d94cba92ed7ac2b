// XDG desktop entries in place of desktop shortcuts (.lnk files).
#pragma once

#include <string>

namespace nuv::os {

// The Exec= value that starts target with no arguments: quoted and escaped by the desktop-entry
// rules, so spaces, quotes, '$', '`', '\' and '%' in the path survive.
std::string DesktopExecValue(const std::string& target);

// Writes <folder>/<name>.desktop (an application entry named name, Exec= target, Path=
// workingFolder), executable, and owned by the desktop user when running as root for another
// user. False when a text holds a line break or control character (it would add keys) or the
// file can't be written.
bool WriteDesktopEntry(const std::string& folder, const std::string& name,
                       const std::string& target, const std::string& workingFolder);

}  // namespace nuv::os
