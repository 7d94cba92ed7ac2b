// Runs a program for a test and keeps what it said on standard error, with a deadline.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

struct ProgramRun {
  int exitCode = -1;  // -1: not started, killed at the limit, or ended by a signal
  std::string err;    // standard error; standard output goes to /dev/null
};

// argv[0] is searched on PATH when it has no '/'. env null: this process's environment.
inline ProgramRun RunProgram(std::vector<std::string> args,
                             const std::vector<std::string>* env = nullptr,
                             std::chrono::seconds limit = std::chrono::seconds(120)) {
  std::vector<std::string> envCopy = env ? *env : std::vector<std::string>();
  std::vector<char*> argv, envp;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& e : envCopy) envp.push_back(e.data());
  envp.push_back(nullptr);
  ProgramRun run;
  const int errFd = memfd_create("program-stderr", MFD_CLOEXEC);
  if (errFd < 0) return run;
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&files, errFd, 2);
  pid_t pid = -1;
  const bool started =
      posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), env ? envp.data() : environ) == 0;
  posix_spawn_file_actions_destroy(&files);
  if (started) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    bool killed = false;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        killed = true;
        break;
      }
      // Polls a child process's exit; not a wait for another thread of this test.
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!killed && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  }
  char buffer[4096];
  for (off_t at = 0;;) {
    const ssize_t n = pread(errFd, buffer, sizeof buffer, at);
    if (n <= 0) break;
    run.err.append(buffer, static_cast<size_t>(n));
    at += n;
  }
  close(errFd);
  return run;
}
