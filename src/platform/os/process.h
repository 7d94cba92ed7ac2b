// Starting programs without a shell: argv is passed as given, the program is never interpreted
// by /bin/sh. Plain runs use posix_spawn; runs that drop to another user or detach fork first.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/folders.h"

namespace nuv::os {

struct SpawnOptions {
  // Look argv[0] up on PATH when it holds no '/'.
  bool searchPath = false;
  // stdin, stdout and stderr from/to /dev/null (a hidden console run).
  bool nullStdio = false;
  // The child leads its own process group, so a time-limit kill reaches its children too.
  bool ownProcessGroup = false;
  // Not a child of ours: started through an intermediate process that exits at once, so nothing
  // is left to wait for and no zombie remains. The result's pid is then 0.
  bool detach = false;
  // Empty: the caller's working folder.
  std::string workingFolder;
  // Run as this user: groups, gid and uid dropped to it; HOME, USER and LOGNAME set to it and the
  // SUDO_* variables removed. Only possible while running as root; ignored when it is the user the
  // process already runs as.
  std::optional<DesktopUser> asUser;
};

struct SpawnResult {
  pid_t pid = -1;  // > 0: a child to wait for; 0: started detached; -1: not started
  int error = 0;   // errno of the failure when not started
  bool Started() const { return pid >= 0 && error == 0; }
};

// argv[0] is the program; argv must not be empty.
SpawnResult Spawn(const std::vector<std::string>& argv, const SpawnOptions& options = {});

// Waits for the child without limit. The exit code; 128 + signal number when a signal ended it;
// -1 when it cannot be waited for.
int WaitForExit(pid_t pid);

// Waits up to limit; on time-out kills the child (and its process group when it leads one) with
// SIGKILL, reaps it and answers nothing.
std::optional<int> WaitForExitWithin(pid_t pid, std::chrono::milliseconds limit);

// Opens an existing file for reading and keeps it open until Close or destruction, so the file
// stays in use while the program it holds runs.
class HeldFile {
 public:
  HeldFile() = default;
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // errno of the failure, 0 on success.
  int Open(const std::string& path);
  void Close();

 private:
  int fd_ = -1;
};

// Writes the whole file with the given mode as a new file in place of the old one; false on any
// failure. A symbolic link in its place is refused, not followed (root writes into users'
// folders), and a file of another owner or with another name is replaced, not written through.
bool WriteFileWithMode(const std::string& path, const std::string& bytes, mode_t mode);

// Adds the execute bits wherever the file has read bits (a downloaded package arrives without
// them); false when the mode can't be read or set.
bool MakeExecutable(const std::string& path);

// A regular file that the process may execute (not a folder).
bool IsExecutableFile(const std::string& path);

// The desktop user a program started "from the user's shell" runs as: GetDesktopUser() when it
// differs from the process user and the process runs as root, else nothing (run as ourselves).
std::optional<DesktopUser> UserToDropTo();

}  // namespace nuv::os
