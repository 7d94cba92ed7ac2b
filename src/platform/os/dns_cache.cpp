#include "platform/os/dns_cache.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

extern char** environ;

namespace {

// resolvectl talks to a daemon over D-Bus; do not let a stuck daemon hold up a download.
constexpr int kWaitSteps = 500;  // x 10 ms = 5 s
constexpr long kWaitStepNs = 10'000'000;

}  // namespace

std::string FindOnPath(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

int FlushDnsCache() {
  std::string exe = FindOnPath("resolvectl");
  if (exe.empty()) return kDnsFlushUnavailable;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd = 0; fd <= 2; ++fd)
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  char arg0[] = "resolvectl";
  char arg1[] = "flush-caches";
  char* argv[] = {arg0, arg1, nullptr};
  pid_t pid = -1;
  int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return kDnsFlushFailed;

  int status = 0;
  for (int step = 0; step < kWaitSteps; ++step) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : kDnsFlushFailed;
    if (done < 0) return kDnsFlushFailed;
    timespec pause{0, kWaitStepNs};
    nanosleep(&pause, nullptr);
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return kDnsFlushFailed;
}
