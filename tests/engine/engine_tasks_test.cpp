// Task-level behaviour over the testbed: present files, file errors, a full disk, TLS, replacing
// a running task, and resuming a paused one.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/file_digest.h"
#include "engine/resume_record.h"
#include "engine_fixture.h"
#include "engine_ranges.h"
#include "log/simple_log.h"

using namespace enginetest;
using std::chrono::seconds;

class EngineTasksTest : public EngineTest {};

TEST_F(EngineTasksTest, PresentFileIsTakenWithoutTransfer) {
  testbed::Server server;
  ASSERT_TRUE(server.Start());
  const auto info = server.Packages().AddGenerated("/p/pkg.bin", 100000);
  ASSERT_EQ(Add(server.Url("/p/pkg.bin"), dir_.Path(), 1, info.md5), 1);
  ASSERT_TRUE(recorder_.WaitFinished(1, seconds(60)));
  ASSERT_EQ(recorder_.Result(1), 0);
  server.Log().Clear();

  ASSERT_EQ(Add(server.Url("/p/pkg.bin"), dir_.Path(), 2, info.md5), 2);
  ASSERT_TRUE(recorder_.WaitFinished(2, seconds(60)));
  EXPECT_EQ(recorder_.Joined(2), "prep start name size ok");
  for (const auto& r : server.Requests()) EXPECT_NE(r.method, "GET");

  // Without a digest nothing counts as present: the package is fetched again.
  ASSERT_EQ(Add(server.Url("/p/pkg.bin"), dir_.Path(), 3, ""), 3);
  ASSERT_TRUE(recorder_.WaitFinished(3, seconds(60)));
  EXPECT_EQ(recorder_.Joined(3), "prep start name size params try:0 end:0:0 ok");
}

TEST_F(EngineTasksTest, FileErrorsFailTheTask) {
  testbed::Server server;
  ASSERT_TRUE(server.Start());
  const auto info = server.Packages().AddGenerated("/f/pkg.bin", 200000);
  std::ofstream(dir_.File("plainfile")) << "x";
  std::filesystem::create_directories(dir_.File("renamed/pkg.bin/inside"));
  std::string renameEvents;
  for (int i = 0; i < 10; ++i)
    renameEvents +=
        " params try:" + std::to_string(i) + " md5 match ferr:2 end:" + std::to_string(i) + ":9";
  struct Case {
    const char* name;
    std::string folder;
    int result;
    std::string events;
  } cases[] = {
      {"folder cannot be created", dir_.File("plainfile/sub"), 9,
       "prep start name size params ferr:1 fail:9"},
      {"final name taken by a folder", dir_.File("renamed"), 9,
       "prep start name size" + renameEvents + " fail:9"},
  };
  int id = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Add(server.Url("/f/pkg.bin"), c.folder, id, info.md5), id);
    ASSERT_TRUE(recorder_.WaitFinished(id, seconds(120)));
    EXPECT_EQ(recorder_.Result(id), c.result);
    EXPECT_EQ(recorder_.Joined(id), c.events);
    ++id;
  }
}

TEST_F(EngineTasksTest, FullDiskIsFoundBeforeTheTransfer) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
  const std::string mnt = dir_.File("small");
  std::filesystem::create_directories(mnt);
  if (mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=2m") != 0) GTEST_SKIP() << "no tmpfs mount";
  testbed::Server server;
  ASSERT_TRUE(server.Start());
  const auto info = server.Packages().AddGenerated("/d/pkg.bin", 8 * 1024 * 1024);
  ASSERT_EQ(Add(server.Url("/d/pkg.bin"), mnt + "/pkgs", 20, info.md5), 20);
  const bool finished = recorder_.WaitFinished(20, seconds(60));
  const bool leftover = std::filesystem::exists(mnt + "/pkgs/pkg.bin.~P2S");
  umount2(mnt.c_str(), MNT_DETACH);
  ASSERT_TRUE(finished);
  EXPECT_EQ(recorder_.Result(20), 10);
  EXPECT_EQ(recorder_.Joined(20), "prep start name size params ferr:3 fail:10");
  EXPECT_FALSE(leftover);
  for (const auto& r : server.Requests()) EXPECT_NE(r.method, "GET");
}

TEST_F(EngineTasksTest, TlsPeerIsVerifiedAgainstTheBundle) {
  testbed::Server server;
  testbed::ServerOptions options;
  options.tls = true;
  ASSERT_TRUE(server.Start(options));
  const int64_t size = 1500000;
  const auto info = server.Packages().AddGenerated("/t/pkg.bin", size);
  KnownSizeResolver known(size, "127.0.0.1");
  ns_NUK::SetHostResolver(&known);
  const char* before = std::getenv("NUV_CA_BUNDLE");
  const std::string saved = before ? before : "";

  setenv("NUV_CA_BUNDLE", server.CaBundlePath().c_str(), 1);
  ASSERT_EQ(Add(server.Url("/t/pkg.bin"), dir_.File("ok"), 30, info.md5), 30);
  ASSERT_TRUE(recorder_.WaitFinished(30, seconds(60)));
  EXPECT_EQ(recorder_.Result(30), 0);
  EXPECT_EQ(ns_NUK::FileMd5(dir_.File("ok/pkg.bin")), Upper(info.md5));

  // Without the bundle every connection fails the handshake: the attempt ends with the connect
  // code, and nothing is stored.
  unsetenv("NUV_CA_BUNDLE");
  ASSERT_EQ(Add(server.Url("/t/pkg.bin"), dir_.File("bad"), 31, info.md5), 31);
  ASSERT_TRUE(recorder_.WaitEvents(31, "try:0 end:0:2", seconds(120)));
  // The removal reaches the task whether its connections run or it waits between attempts.
  Manager().RemoveTask(31);
  ASSERT_TRUE(recorder_.WaitFinished(31, seconds(30)));
  EXPECT_EQ(recorder_.Result(31), 13);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("bad/pkg.bin")));
  if (before) setenv("NUV_CA_BUNDLE", saved.c_str(), 1);
}

TEST_F(EngineTasksTest, AddingUnderARunningIdReplacesTheTask) {
  testbed::Server server;
  ASSERT_TRUE(server.Start());
  const auto info = server.Packages().AddGenerated("/r/pkg.bin", 4 * 1024 * 1024);
  server.Packages().SetFaults("/r/pkg.bin", *testbed::ParseFaults("throttle:100000"), "", 24);
  ASSERT_EQ(Add(server.Url("/r/pkg.bin"), dir_.Path(), 40, info.md5), 40);
  ASSERT_TRUE(recorder_.WaitDownloaded(40, 1, seconds(60)));
  ASSERT_EQ(Add(server.Url("/r/pkg.bin"), dir_.Path(), 40, info.md5), 40);
  // The first task ends cancelled while it is removed; the second one runs to its end.
  ASSERT_TRUE(recorder_.WaitEvents(40, "end:0:13 fail:13 prep start", seconds(60)));
  ASSERT_TRUE(recorder_.WaitEvents(
      40, "fail:13 prep start name size params try:0 md5 match end:0:0 ok", seconds(60)));
  EXPECT_EQ(ns_NUK::FileMd5(dir_.File("pkg.bin")), Upper(info.md5));
  EXPECT_EQ(Manager().GetTaskCount(), 1);
}

TEST_F(EngineTasksTest, PausedTaskResumesFromItsRecord) {
  TempDir logDir;
  simpleLog log(logDir.File("engine.log"));
  log.Init();
  SetSimpleLog(&log);
  testbed::Server server;
  ASSERT_TRUE(server.Start());
  const int64_t total = 64 * 1024 * 1024;
  const auto info = server.Packages().AddGenerated("/z/pkg.bin", total);
  server.Packages().SetFaults("/z/pkg.bin", *testbed::ParseFaults("throttle:1000000"));
  ASSERT_EQ(Add(server.Url("/z/pkg.bin"), dir_.Path(), 50, info.md5), 50);
  ASSERT_TRUE(recorder_.WaitDownloaded(50, total / 2, seconds(120)));
  ASSERT_TRUE(Manager().PauseTask(50));
  const std::string temp = dir_.File("pkg.bin.~P2S");
  ASSERT_TRUE(
      WaitForLogLine(log.CurrentFile(), "download failed! retry=[0], status=[13]", seconds(60)));
  std::map<int64_t, int64_t> ranges;
  ASSERT_TRUE(ns_NUK::LoadResumeRecord(temp, total, ranges));
  EXPECT_GT(ns_NUK::CachedBytes(total, ranges), total / 3);
  EXPECT_EQ(recorder_.Result(50), -1);  // a paused task reports no end

  server.Packages().ClearFaults();
  server.Log().Clear();
  ASSERT_EQ(Add(server.Url("/z/pkg.bin"), dir_.Path(), 50, info.md5), 50);
  ASSERT_TRUE(recorder_.WaitFinished(50, seconds(120)));
  SetSimpleLog(nullptr);
  EXPECT_EQ(recorder_.Result(50), 0);
  EXPECT_EQ(ns_NUK::FileMd5(dir_.File("pkg.bin")), Upper(info.md5));
  EXPECT_GT(CachedFromLog(log.CurrentFile()), 0);
  EXPECT_LT(RequestedBytes(server.Requests(), "/z/pkg.bin"), total);
}

TEST_F(EngineTasksTest, ConnectionsFinishingTogetherEndTheAttemptInOneCycle) {
  // No polling period passes within the test's deadline, so the attempt can only end in the one
  // cycle that the last connection's end starts early; that cycle must take all 24 off.
  ns_NUK::EngineTimings timings = ns_NUK::FastEngineTimings();
  timings.pollMs = 10 * 60 * 1000;
  ns_NUK::SetEngineTimings(timings);
  testbed::Server server;
  ASSERT_TRUE(server.Start());
  const int64_t size = 24 * 100000;  // ranges far below what a split takes work from
  const auto info = server.Packages().AddGenerated("/e/pkg.bin", size);
  KnownSizeResolver known(size, "127.0.0.1");
  ns_NUK::SetHostResolver(&known);
  ASSERT_EQ(Add(server.Url("/e/pkg.bin"), dir_.Path(), 80, info.md5), 80);
  ASSERT_TRUE(recorder_.WaitFinished(80, seconds(60)));
  EXPECT_EQ(recorder_.Joined(80), "prep start name size params try:0 md5 match end:0:0 ok");
  EXPECT_EQ(ns_NUK::FileMd5(dir_.File("pkg.bin")), Upper(info.md5));
}
