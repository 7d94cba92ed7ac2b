// Script fixtures and deadline waits for the process-launching tests.
#pragma once

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "support/temp_dir.h"

// Writes an executable /bin/sh script; the program under test starts it directly (no shell
// reads the command line), so "$@" shows exactly the argv it got.
inline std::string WriteScript(const TempDir& dir, const std::string& name,
                               const std::string& body) {
  std::string path = dir.File(name);
  WriteWholeFile(path, "#!/bin/sh\n" + body + "\n");
  chmod(path.c_str(), 0755);
  return path;
}

// Polls a condition until it holds or the deadline passes.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

// Gone, or a zombie waiting for its new parent (init) to reap it.
inline bool ProcessGone(pid_t pid) {
  if (kill(pid, 0) != 0) return true;
  std::string stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
  size_t paren = stat.rfind(')');
  return paren == std::string::npos || (paren + 2 < stat.size() && stat[paren + 2] == 'Z');
}
