#include "engine/netns.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/os/dns_cache.h"

extern char** environ;

namespace {

constexpr const char* kChildVar = "NUV_TEST_PRIVATE_NETWORK";
constexpr auto kChildLimit = std::chrono::seconds(240);

// Spawns argv and waits for its exit code, killing it past the limit; -1 when it did not exit.
int RunAndWait(const std::vector<std::string>& args, char** env) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), env) != 0) return -1;
  auto deadline = std::chrono::steady_clock::now() + kChildLimit;
  int status = 0;
  while (true) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    // Polls a child process's exit; not a wait for another thread of this test.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool InPrivateNetwork() {
  static const bool inChild = [] {
    const char* v = getenv(kChildVar);
    if (!v || std::string(v) != "1") return false;
    std::string ip = FindOnPath("ip");
    return !ip.empty() && RunAndWait({ip, "link", "set", "lo", "up"}, environ) == 0;
  }();
  return inChild;
}

void RunCurrentTestInPrivateNetwork() {
  if (getenv(kChildVar)) {
    FAIL() << "could not bring lo up in the private network namespace";
  }
  std::string unshare = FindOnPath("unshare");
  if (geteuid() != 0 || unshare.empty() || FindOnPath("ip").empty()) {
    GTEST_SKIP() << "needs root, unshare and ip for a private network namespace";
  }
  if (RunAndWait({unshare, "--net", "/bin/true"}, environ) != 0) {
    GTEST_SKIP() << "unshare --net is not permitted here";
  }
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string filter =
      std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();

  std::vector<std::string> envText;
  for (char** e = environ; *e; ++e) envText.push_back(*e);
  envText.push_back(std::string(kChildVar) + "=1");
  std::vector<char*> env;
  for (std::string& e : envText) env.push_back(e.data());
  env.push_back(nullptr);

  char self[4096] = {};
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  int code = RunAndWait({unshare, "--net", self, filter}, env.data());
  EXPECT_EQ(code, 0) << "the test failed in the private network namespace (its output is above)";
}
