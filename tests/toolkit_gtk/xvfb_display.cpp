#include "xvfb_display.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "platform/os/process.h"

extern char** environ;

XvfbDisplay::XvfbDisplay(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) {
    error_ = "no pipe";
    return;
  }
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const std::string fd = std::to_string(fds[1]);
  std::vector<std::string> args = {"Xvfb", "-displayfd", fd,    "-screen", "0",
                                   screen, "-nolisten",  "tcp", "-noreset"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  const int rc = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    error_ = "Xvfb is not installed";
    pid_ = -1;
    close(fds[0]);
    return;
  }
  // Xvfb writes the display number once it accepts connections.
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    char c;
    const ssize_t n = read(fds[0], &c, 1);
    if (n <= 0) break;
    if (c == '\n') break;
    number.push_back(c);
  }
  close(fds[0]);
  if (number.empty()) {
    error_ = "Xvfb did not start";
    return;
  }
  name_ = ":" + number;
}

XvfbDisplay::~XvfbDisplay() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  if (!nuv::os::WaitForExitWithin(pid_, std::chrono::seconds(10))) kill(pid_, SIGKILL);
}

int RunTool(const std::vector<std::string>& argv) {
  nuv::os::SpawnOptions options;
  options.searchPath = true;
  const nuv::os::SpawnResult r = nuv::os::Spawn(argv, options);
  if (!r.Started()) return -1;
  return nuv::os::WaitForExitWithin(r.pid, std::chrono::seconds(20)).value_or(-1);
}
