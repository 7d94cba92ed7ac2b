#include "platform/os/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/os/files.h"

namespace nuv::os {

std::optional<std::string> GetEnv(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

std::string GetEnvOr(std::string_view name, std::string_view fallback) {
  std::optional<std::string> value = GetEnv(name);
  return value ? *value : std::string(fallback);
}

std::string RootPrefix() {
  std::string prefix = GetEnvOr(kRootPrefixEnv);
  while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
  return prefix;
}

std::string ModulePath() {
  std::vector<char> buffer(4096);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return {};
  return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string SharedDocumentsFolder() {
  return RootPrefix() + "/var/lib/";
}

std::string ProgramFilesFolder() {
  return RootPrefix() + "/opt/";
}

namespace {

std::optional<DesktopUser> FromPasswd(const passwd* pw) {
  if (!pw) return std::nullopt;
  DesktopUser user;
  user.name = pw->pw_name ? pw->pw_name : "";
  user.uid = pw->pw_uid;
  user.gid = pw->pw_gid;
  user.home = pw->pw_dir ? pw->pw_dir : "";
  return user;
}

std::optional<DesktopUser> LookUpByName(const std::string& name) {
  std::vector<char> buffer(16384);
  passwd pw;
  passwd* result = nullptr;
  if (getpwnam_r(name.c_str(), &pw, buffer.data(), buffer.size(), &result) != 0)
    return std::nullopt;
  return FromPasswd(result);
}

std::optional<DesktopUser> LookUpByUid(uid_t uid) {
  std::vector<char> buffer(16384);
  passwd pw;
  passwd* result = nullptr;
  if (getpwuid_r(uid, &pw, buffer.data(), buffer.size(), &result) != 0) return std::nullopt;
  return FromPasswd(result);
}

// The desktop user is the process user when there is no (other) sudo caller; only then do the
// process's own XDG variables describe that user.
bool IsProcessUser(const DesktopUser& user) {
  return user.uid == geteuid();
}

std::string TrimSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::optional<DesktopUser> GetDesktopUser() {
  std::string sudoUser = GetEnvOr("SUDO_USER");
  if (!sudoUser.empty()) return LookUpByName(sudoUser);
  std::optional<DesktopUser> user = LookUpByUid(geteuid());
  // $HOME wins for the process user, as every desktop program does.
  std::string home = GetEnvOr("HOME");
  if (!home.empty()) {
    if (!user) user = DesktopUser{"", geteuid(), getegid(), ""};
    user->home = TrimSlashes(home);
  }
  return user;
}

std::string DesktopUserLocalAppData() {
  std::optional<DesktopUser> user = GetDesktopUser();
  if (!user || user->home.empty()) return {};
  if (IsProcessUser(*user)) {
    std::string xdg = GetEnvOr("XDG_DATA_HOME");
    if (!xdg.empty() && xdg[0] == '/') return TrimSlashes(xdg);
  }
  return user->home + "/.local/share";
}

namespace {

// XDG_DESKTOP_DIR="$HOME/Desktop" (quoted, $HOME-relative or absolute) from user-dirs.dirs.
std::string DesktopFromUserDirs(const std::string& file, const std::string& home) {
  std::optional<std::string> text = ReadFile(file);
  if (!text) return {};
  size_t pos = 0;
  std::string found;
  while (pos < text->size()) {
    size_t end = text->find('\n', pos);
    if (end == std::string::npos) end = text->size();
    std::string line = text->substr(pos, end - pos);
    pos = end + 1;
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    line = line.substr(start);
    const std::string key = "XDG_DESKTOP_DIR=";
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string value = line.substr(key.size());
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
      value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) {
      value = home + value.substr(5);
    } else if (value.empty() || value[0] != '/') {
      continue;  // only absolute or $HOME-relative paths are valid
    }
    found = value;  // the last assignment wins, as in a shell
  }
  return found.empty() ? found : TrimSlashes(found);
}

}  // namespace

std::string DesktopUserDesktopFolder() {
  std::optional<DesktopUser> user = GetDesktopUser();
  if (!user || user->home.empty()) return {};
  std::string configHome = user->home + "/.config";
  if (IsProcessUser(*user)) {
    std::string xdg = GetEnvOr("XDG_CONFIG_HOME");
    if (!xdg.empty() && xdg[0] == '/') configHome = TrimSlashes(xdg);
  }
  std::string desktop = DesktopFromUserDirs(configHome + "/user-dirs.dirs", user->home);
  return desktop.empty() ? user->home + "/Desktop" : desktop;
}

}  // namespace nuv::os
