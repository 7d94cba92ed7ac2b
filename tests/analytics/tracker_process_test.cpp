// Records that a process could not send before it exited are sent by the next process: the child
// is this test program itself, started again to run only the child case below.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "analytics/analytics_servers.h"
#include "analytics/usage_tracker.h"
#include "tracker_env.h"

extern char** environ;

namespace {

constexpr const char* kChildUrlsEnv = "NUV_TRACKER_CHILD_URLS";

// Waits for the child with a deadline; kills it when the deadline passes.
int WaitChild(pid_t pid, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // polling a child, not syncing
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Runs only inside the child: raises two events that the collector refuses, then leaves the
// process by exit(), so the process-wide tracker's clean-up writes them into the staging file.
TEST(TrackerChild, RaisesEventsAndExits) {
  const char* urls = getenv(kChildUrlsEnv);
  if (!urls) GTEST_SKIP() << "started by TrackerProcessTest only";
  const std::string text = urls;
  const size_t bar = text.find('|');
  analytics::UsageTracker& tracker = analytics::GetUsageTracker();
  tracker.Init({text.substr(0, bar), text.substr(bar + 1)}, "{CHILD}", analytics::kTrackerTid);
  tracker.TrackEvent("child_1");
  tracker.TrackEvent("child_2");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!(tracker.Sdk() && tracker.Sdk()->Queue().Size() == 2)) {
    if (std::chrono::steady_clock::now() > deadline) std::exit(3);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::exit(0);  // no Stop: the static clean-up must keep the records
}

class TrackerProcessTest : public TrackerTest {};

TEST_F(TrackerProcessTest, RecordsOfAnExitedProcessAreSentByTheNext) {
  collector_->SetStatus("", 500);
  const std::string urls = Urls()[0] + "|" + Urls()[1];
  std::string tmp = dir_.Path();
  tmp.pop_back();
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (entry.rfind("TMPDIR=", 0) != 0 && entry.rfind(kChildUrlsEnv, 0) != 0) env.push_back(entry);
  }
  env.push_back("TMPDIR=" + tmp);
  env.push_back(std::string(kChildUrlsEnv) + "=" + urls);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string self = "/proc/self/exe", filter = "--gtest_filter=TrackerChild.RaisesEventsAndExits";
  char* argv[] = {self.data(), filter.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, envp.data()), 0);
  ASSERT_EQ(WaitChild(pid, std::chrono::seconds(60)), 0);

  // The child staged its records in its private temporary folder under TMPDIR.
  const std::string staging = dir_.Path() + "nuv-" + std::to_string(geteuid()) + "/nuv_tracker";
  const std::string staged = ReadWholeFile(staging);
  EXPECT_EQ(std::count(staged.begin(), staged.end(), '\n'), 2) << staged;

  collector_->SetStatus("", 200);
  collector_->Clear();
  analytics::UsageTracker next(staging);
  next.Init(Urls(), "{NEXT}", analytics::kTrackerTid);
  next.TrackEvent("next_1");
  ASSERT_TRUE(collector_->WaitForRecords(3, kWait));
  std::vector<std::string> seen;
  for (const std::string& r : collector_->Records()) {
    Json json = ParseJson(r);
    seen.push_back(StringMember(json.get(), "event") + "/" +
                   StringMember(json.get(), "distinct_id"));
  }
  EXPECT_EQ(seen,
            (std::vector<std::string>{"child_1/{CHILD}", "child_2/{CHILD}", "next_1/{NEXT}"}));
}
