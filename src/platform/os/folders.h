// Well-known folders in place of the Windows special folders, and environment look-ups.
//
// Test override: when NUV_ROOT_PREFIX is set (a folder, no trailing '/'), the system folders
// below (/opt/, /var/lib/, /etc/default/locale) are taken under it, e.g. "<prefix>/opt/".
#pragma once

#include <sys/types.h>
#include <optional>
#include <string>
#include <string_view>

namespace nuv::os {

inline constexpr const char* kRootPrefixEnv = "NUV_ROOT_PREFIX";

// The variable's value; nothing when it is unset (set-but-empty gives an empty text).
std::optional<std::string> GetEnv(std::string_view name);
// The variable's value, or empty when unset.
std::string GetEnvOr(std::string_view name, std::string_view fallback = {});

// NUV_ROOT_PREFIX without trailing '/', or empty.
std::string RootPrefix();

// The temporary folder all users share: $TMPDIR (when set and not empty) else "/tmp", always
// ending in '/'. Nothing of ours is created directly in it.
std::string SharedTempFolder();

struct TempFolderChoice {
  std::string folder;   // ends in '/'
  std::string refused;  // the usual name, when something not to be trusted held it
  std::string why;      // and why it was refused
};
// The process user's private temporary folder "<shared>nuv-<uid>/", mode 0700, created on first
// use and checked on every call (a real folder, ours, not writable by others). When that name is
// held by anything else, a fresh "<shared>nuv-<uid>-XXXXXX/" serves the rest of the process.
TempFolderChoice ChooseTempFolder();
// ChooseTempFolder().folder: where every temporary file of the program goes.
std::string TempFolder();
// The running program's full path (/proc/self/exe); empty when unreadable.
std::string ModulePath();
// "<prefix>/var/lib/": the all-users documents folder.
std::string SharedDocumentsFolder();
// "<prefix>/opt/": Program Files of both widths.
std::string ProgramFilesFolder();

// The user who owns the desktop: SUDO_USER when set (and known), else the process user.
struct DesktopUser {
  std::string name;
  uid_t uid = 0;
  gid_t gid = 0;
  std::string home;  // no trailing '/'
};
std::optional<DesktopUser> GetDesktopUser();

// The desktop user's local application data, without trailing '/': $XDG_DATA_HOME when the desktop
// user is the process user and it is set, else <home>/.local/share. Empty when the user is unknown.
std::string DesktopUserLocalAppData();
// The desktop user's desktop folder, without trailing '/': XDG_DESKTOP_DIR of the user's
// user-dirs.dirs ($XDG_CONFIG_HOME or <home>/.config), else <home>/Desktop. Empty when unknown.
std::string DesktopUserDesktopFolder();

}  // namespace nuv::os
