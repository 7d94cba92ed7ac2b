// An ordinary local user beside root, for the tests of what the program refuses to trust: files
// handed to that user, and commands run as that user (through setpriv).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace other_user {

// "nobody" / "nogroup" on Debian.
inline constexpr uid_t kUid = 65534;
inline constexpr gid_t kGid = 65534;

// The file or folder (a link itself, not its target) now belongs to the other user.
inline bool Give(const std::string& path) {
  return lchown(path.c_str(), kUid, kGid) == 0;
}

// Runs the command (found on PATH) as this process's user; its exit code, or -1 when it could
// not be started or did not end within the limit (it is killed then). Output goes to /dev/null.
inline int RunCommand(std::vector<std::string> args,
                      std::chrono::seconds limit = std::chrono::seconds(20)) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const bool started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!started) return -1;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The same as the other user, with no groups.
inline int Run(const std::vector<std::string>& command,
               std::chrono::seconds limit = std::chrono::seconds(20)) {
  std::vector<std::string> args = {"setpriv", "--reuid=" + std::to_string(kUid),
                                   "--regid=" + std::to_string(kGid), "--clear-groups", "--"};
  args.insert(args.end(), command.begin(), command.end());
  return RunCommand(std::move(args), limit);
}

// A shell command line run as the other user (sh -c).
inline int Shell(const std::string& script) {
  return Run({"/bin/sh", "-c", script});
}

}  // namespace other_user
