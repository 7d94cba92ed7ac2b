// Resume for real: the command-line front is killed with SIGKILL halfway through a throttled
// download; the next run continues from the record in the temporary file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "engine/file_digest.h"
#include "engine/resume_record.h"
#include "engine_fixture.h"
#include "engine_ranges.h"

extern char** environ;

using namespace enginetest;

namespace {

const std::string kNuvget = std::string(NUV_BINARY_DIR) + "/tools/nuvget/nuvget";

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string v = *e;
    if (v.rfind("NUV_ENGINE_FAST=", 0) != 0 && v.rfind("NUV_RESOURCE_DIR=", 0) != 0)
      env.push_back(v);
  }
  env.push_back("NUV_ENGINE_FAST=1");
  // Every remote party of the child is a closed loopback port.
  env.push_back(std::string("NUV_RESOURCE_DIR=") + NUV_SOURCE_DIR + "/tests/fixtures/loopback");
  std::vector<char*> argv, envp;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The exit code, or -1 when the child did not end in time (it is killed then).
int WaitExit(pid_t pid, std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

TEST(KillResumeTest, KilledDownloadResumesFromItsRecord) {
  if (!std::filesystem::exists(kNuvget)) GTEST_SKIP() << "nuvget not built";
  TempDir dir;
  testbed::Server server;
  ASSERT_TRUE(server.Start());
  const int64_t total = 256LL * 1024 * 1024;
  const auto info = server.Packages().AddGenerated("/k/pkg.bin", total);
  server.Packages().SetFaults("/k/pkg.bin", *testbed::ParseFaults("throttle:1000000"));
  const std::vector<std::string> args = {
      kNuvget, server.Url("/k/pkg.bin"), dir.Path(), "--md5", info.md5, "--id", "7"};
  const std::string temp = dir.File("pkg.bin.~P2S");

  const pid_t first = Spawn(args);
  ASSERT_GT(first, 0);
  std::map<int64_t, int64_t> ranges;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  bool half = false;
  while (!half && std::chrono::steady_clock::now() < deadline) {
    half = ns_NUK::LoadResumeRecord(temp, total, ranges) &&
           ns_NUK::CachedBytes(total, ranges) >= total * 2 / 5;
    if (!half) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(first, SIGKILL);
  int status = 0;
  waitpid(first, &status, 0);
  ASSERT_TRUE(half) << "no record covering 40% appeared";
  ASSERT_TRUE(ns_NUK::LoadResumeRecord(temp, total, ranges));

  server.Packages().ClearFaults();
  server.Log().Clear();
  const pid_t second = Spawn(args);
  ASSERT_GT(second, 0);
  EXPECT_EQ(WaitExit(second, std::chrono::seconds(180)), 0);
  EXPECT_GT(CachedFromLog(dir.File("nuvget.log")), 0);
  EXPECT_LT(RequestedBytes(server.Requests(), "/k/pkg.bin"), total);
  EXPECT_EQ(ns_NUK::FileMd5(dir.File("pkg.bin")), Upper(info.md5));
  EXPECT_FALSE(std::filesystem::exists(temp));
}
