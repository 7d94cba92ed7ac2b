// An ordinary local user beside root, for the tests of what the program refuses to trust: files
// handed to that user, commands run as that user (through setpriv), and the names such a user
// prepares before root uses them.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace other_user {

// "nobody" / "nogroup" on Debian.
inline constexpr uid_t kUid = 65534;
inline constexpr gid_t kGid = 65534;

// The file or folder (a link itself, not its target) now belongs to the other user.
inline bool Give(const std::string& path) {
  return lchown(path.c_str(), kUid, kGid) == 0;
}

// Runs the command as the other user with no groups; its exit code, -1 when it could not run.
inline int Run(const std::vector<std::string>& command,
               std::chrono::seconds limit = std::chrono::seconds(20)) {
  std::vector<std::string> args = {"setpriv", "--reuid=" + std::to_string(kUid),
                                   "--regid=" + std::to_string(kGid), "--clear-groups", "--"};
  args.insert(args.end(), command.begin(), command.end());
  return RunProgram(std::move(args), nullptr, limit).exitCode;
}

// A shell command line run as the other user (sh -c).
inline int Shell(const std::string& script) {
  return Run({"/bin/sh", "-c", script});
}

// Ways the other user prepares a name; each gets the name and a file of root's to aim at.
inline void PlantLink(const std::string& path, const std::string& rootsFile) {
  (void)!symlink(rootsFile.c_str(), path.c_str());
}
inline void PlantHardLink(const std::string& path, const std::string& rootsFile) {
  (void)!link(rootsFile.c_str(), path.c_str());
}
inline void PlantFifo(const std::string& path, const std::string&) {
  mkfifo(path.c_str(), 0666);
}

}  // namespace other_user
