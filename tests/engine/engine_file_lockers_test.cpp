// Naming the processes that hold the package file, with real processes holding it open.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

#include "engine/package_file.h"
#include "engine_temp_dir.h"
#include "platform/os/file_holders.h"
#include "log/simple_log.h"

extern char** environ;

namespace {

// A shell that opens the file on descriptor 3 and then sleeps.
pid_t HoldOpen(const std::string& path) {
  const char* argv[] = {"/bin/sh", "-c", "exec 3<\"$0\"; exec sleep 60", path.c_str(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
    return -1;
  return pid;
}

}  // namespace

TEST(FileLockersTest, EveryOtherHolderIsLoggedOnce) {
  enginetest::TempDir dir;
  const std::string path = dir.File("pkg.bin.~P2S");
  enginetest::WriteAll(path, "data");
  const pid_t a = HoldOpen(path), b = HoldOpen(path);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  const auto sleepers = [&] {
    int n = 0;
    for (const auto& h : nuv::os::FileHolders(path)) n += h.name == "sleep";
    return n;
  };
  while (sleepers() < 2 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));

  simpleLog log(dir.File("engine.log"));
  log.Init();
  SetSimpleLog(&log);
  ns_NUK::LogFileLockers(path);
  SetSimpleLog(nullptr);
  kill(a, SIGKILL);
  kill(b, SIGKILL);
  waitpid(a, nullptr, 0);
  waitpid(b, nullptr, 0);

  const std::string text = enginetest::ReadAll(log.CurrentFile());
  for (pid_t pid : {a, b}) {
    const std::string line =
        "[WARN] process=[" + std::to_string(pid) + "][sleep] locked the file=[" + path + "] ";
    EXPECT_NE(text.find(line), std::string::npos) << text;
  }
  size_t lines = 0;
  for (size_t p = text.find("locked the file="); p != std::string::npos;
       p = text.find("locked the file=", p + 1))
    ++lines;
  EXPECT_EQ(lines, 2u);
}
