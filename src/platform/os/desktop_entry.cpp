#include "platform/os/desktop_entry.h"

#include <unistd.h>

#include "platform/os/process.h"

namespace nuv::os {

namespace {

bool HasControl(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

// String-level escaping of a desktop-entry value.
std::string EscapeValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

std::string DesktopExecValue(const std::string& target) {
  std::string quoted = "\"";
  for (char c : target) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  return EscapeValue(quoted);
}

bool WriteDesktopEntry(const std::string& folder, const std::string& name,
                       const std::string& target, const std::string& workingFolder) {
  if (folder.empty() || name.empty() || name.find('/') != std::string::npos || HasControl(name) ||
      HasControl(target) || HasControl(workingFolder)) {
    return false;
  }
  std::string content = "[Desktop Entry]\nType=Application\nName=" + EscapeValue(name) +
                        "\nExec=" + DesktopExecValue(target) +
                        "\nPath=" + EscapeValue(workingFolder) + "\nTerminal=false\n";
  std::string path = folder + "/" + name + ".desktop";
  if (!WriteFileWithMode(path, content, 0755)) return false;
  if (std::optional<DesktopUser> user = UserToDropTo()) {
    // The user must be able to start and remove it; a failure here leaves a working entry.
    (void)!chown(path.c_str(), user->uid, user->gid);
  }
  return true;
}

}  // namespace nuv::os
