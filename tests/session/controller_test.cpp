// The controller's side of the engine: callbacks turned into task state, window notifications,
// diagnostic entries and error reports, with real downloads from the testbed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "analytics/report_data_store.h"
#include "engine/engine_timings.h"
#include "platform/os/files.h"
#include "session/nuv_mgr.h"
#include "session/session_env.h"
#include "testbed/testbed.h"
#include "xml/utf.h"

namespace {

// The window's side: what it was told, and a wait for the end of downloads.
class RecordingHandler : public NuvNotifyHandler {
 public:
  struct Progress {
    int64_t total, downloaded;
    int32_t count, reporting;
  };

  void OnFinished(NuvTask& task, int32_t code) override {
    std::lock_guard<std::mutex> hold(lock_);
    finished_.emplace_back(task.id, code);
    changed_.notify_all();
  }
  void OnDownloadProgress(int64_t total, int64_t downloaded, int32_t count,
                          int32_t reporting) override {
    std::lock_guard<std::mutex> hold(lock_);
    progress_.push_back({total, downloaded, count, reporting});
  }
  void OnInstall(NuvTask&, int32_t) override {}

  bool WaitFinished(size_t n, std::chrono::seconds limit = std::chrono::seconds(60)) {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, limit, [&] { return finished_.size() >= n; });
  }
  std::vector<std::pair<int32_t, int32_t>> Finished() {
    std::lock_guard<std::mutex> hold(lock_);
    return finished_;
  }
  std::vector<Progress> ProgressCalls() {
    std::lock_guard<std::mutex> hold(lock_);
    return progress_;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::pair<int32_t, int32_t>> finished_;
  std::vector<Progress> progress_;
};

NuvTask& AddTask(NuvMgr& mgr, int32_t id, int32_t type, const std::string& url = {},
                 const std::string& folder = {}) {
  auto task = std::make_unique<NuvTask>();
  task->id = id;
  task->type = type;
  task->url = Utf8ToWide(url);
  task->folder = Utf8ToWide(folder);
  mgr.tasks.push_back(std::move(task));
  return *mgr.tasks.back();
}

bool HasRemark(const std::string& fragment) {
  const TrackSnapshot snapshot = GetReportDataStore().Snapshot();
  for (const auto* list : {&snapshot.remarks1, &snapshot.remarks2})
    for (const std::string& remark : *list)
      if (remark == fragment) return true;
  return false;
}
int CountRemarks(const std::string& fragment) {
  const TrackSnapshot snapshot = GetReportDataStore().Snapshot();
  int n = 0;
  for (const auto* list : {&snapshot.remarks1, &snapshot.remarks2})
    n += static_cast<int>(std::count(list->begin(), list->end(), fragment));
  return n;
}

class ControllerCallbacksTest : public SessionEnvTest {
 protected:
  void SetUp() override {
    SessionEnvTest::SetUp();
    mgr_.notifyHandler = &handler_;
  }
  RecordingHandler handler_;
  NuvMgr mgr_{nullptr};
};

TEST_F(ControllerCallbacksTest, ProgressAddsUpEveryTask) {
  AddTask(mgr_, 10, kTaskProduct);
  AddTask(mgr_, 11, kTaskDependent);
  mgr_.OnProgress(10, 100, 100, 50);
  mgr_.OnProgress(11, 100, 300, 50);
  mgr_.OnProgress(12, 5, 5, 5);  // no such task: dropped
  const auto calls = handler_.ProgressCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].total, 400);
  EXPECT_EQ(calls[1].downloaded, 200);
  EXPECT_EQ(calls[1].count, 2);
  EXPECT_EQ(calls[1].reporting, 2);
  EXPECT_TRUE(Logged("[WARN] notification for unknown task, task_id=[12]."));
}

TEST_F(ControllerCallbacksTest, OneErrorReportPerFailureCode) {
  NuvTask& product = AddTask(mgr_, 20, kTaskProduct);
  NuvTask& optional = AddTask(mgr_, 21, kTaskDependent);
  optional.forceInstall = false;
  mgr_.OnFailed(20, 3);
  mgr_.OnFailed(20, 3);
  mgr_.OnFailed(20, 2);
  mgr_.OnFailed(21, 9);  // need not be installed: no report, the window sees 0
  EXPECT_EQ(CountLogged("[INFO] auto report error log, remark=[download err=3]."), 1);
  EXPECT_EQ(CountLogged("[INFO] auto report error log, remark=[download err=2]."), 1);
  EXPECT_EQ(CountLogged("remark=[download err=9]"), 0);
  EXPECT_EQ(product.downloadState, kStateFailed);
  EXPECT_EQ(product.downloadCode, 2);
  const auto finished = handler_.Finished();
  ASSERT_EQ(finished.size(), 4u);
  EXPECT_EQ(finished[0], std::make_pair(20, 3));
  EXPECT_EQ(finished[3], std::make_pair(21, 0));
  ASSERT_TRUE(mgr_.installTable.Get(21).has_value());
  EXPECT_EQ(mgr_.installTable.Get(21)->failureCode, 9);
}

TEST_F(ControllerCallbacksTest, DiagnosticEntriesAreKeptOnce) {
  AddTask(mgr_, 30, kTaskProduct);
  mgr_.OnFileMd5(30, "0123456789ABCDEF0123456789ABCDEF");
  mgr_.OnFileMd5(30, "0123456789ABCDEF0123456789ABCDEF");
  mgr_.OnMd5Matched(30);
  mgr_.OnPackageFileError(30, 3, 28);
  mgr_.OnPackageInfoFailed(30, 5);
  mgr_.OnDnsCacheCleared(30, 2);
  EXPECT_EQ(CountRemarks("{\"filemd5_30\":\"0123456789ABCDEF0123456789ABCDEF\"}"), 1);
  EXPECT_TRUE(HasRemark("{\"matchmd5_30\":1}"));
  EXPECT_TRUE(HasRemark("{\"pkg_opt_failed_30\":\"3-28\"}"));
  EXPECT_TRUE(HasRemark("{\"get_pkg_info_failed_30\":5}"));
  EXPECT_TRUE(HasRemark("{\"clear_dns_cache_30\":2}"));
  EXPECT_TRUE(mgr_.Md5Matched(30));
  EXPECT_FALSE(mgr_.Md5Matched(31));
  EXPECT_TRUE(Logged("[INFO] get pkg info failed! task_id=[30], err=[5]."));
}

TEST_F(ControllerCallbacksTest, MainPackageNameGoesIntoTheRunConfiguration) {
  mgr_.runConfigPath = Utf8ToWide(Root() + "NUV_DOWNTASK_1.xml");
  AddTask(mgr_, 40, kTaskProduct, {}, Root() + "save/");
  AddTask(mgr_, 41, kTaskDependent, {}, Root() + "save/");
  mgr_.OnFileName(41, u"dep.exe");
  EXPECT_TRUE(mgr_.TmpPackagePath.empty());
  mgr_.OnFileName(40, u"setup.exe");
  EXPECT_EQ(mgr_.FindTask(40)->SavePath(), Utf8ToWide(Root() + "save/setup.exe"));
  EXPECT_EQ(mgr_.TmpPackagePath, Utf8ToWide(Root() + "save/setup.exe.~P2S"));
  const auto stored = nuv::os::ReadFile(Root() + "NUV_DOWNTASK_1.xml");
  ASSERT_TRUE(stored.has_value());
  EXPECT_NE(stored->find("setup.exe.~P2S"), std::string::npos);
}

TEST_F(ControllerCallbacksTest, SummaryOverEveryTask) {
  NuvTask& product = AddTask(mgr_, 50, kTaskProduct);
  NuvTask& dep = AddTask(mgr_, 51, kTaskDependent);
  NuvTask& dotnet = AddTask(mgr_, kDotnetTaskId, kTaskDotnet);
  product.total = 1000;
  product.downloaded = 1000;
  product.downloadStart = 100;
  product.downloadEnd = 110;
  product.downloadState = kStateSucceeded;
  product.installStart = 120;
  product.installEnd = 150;
  dep.downloaded = 500;
  dep.downloadStart = 90;
  dep.downloadEnd = 105;
  dotnet.downloadState = kStateFailed;
  dotnet.downloadCode = 3;
  EXPECT_TRUE(mgr_.SessionSummary());
  ReportDataStore& store = GetReportDataStore();
  EXPECT_EQ(store.GetReportValue("packagesize"), "1000");
  EXPECT_EQ(store.GetReportValue("downstatus"), "3");
  EXPECT_EQ(store.GetReportValue("downtime"), "20");   // 90 .. 110
  EXPECT_EQ(store.GetReportValue("downspeed"), "75");  // 1500 bytes / 20 s
  EXPECT_EQ(store.GetReportValue("installtime"), "30");
  EXPECT_EQ(store.GetReportValue("dotnetdownstate"), "2");
  EXPECT_EQ(store.GetReportValue("dotnetdowncode"), "3");
  ASSERT_TRUE(mgr_.installTable.Get(51).has_value());
  EXPECT_EQ(mgr_.installTable.Get(51)->downloadStart, 90);
  NuvMgr empty(nullptr);
  EXPECT_FALSE(empty.SessionSummary());
}

TEST_F(ControllerCallbacksTest, NoEngineMeansNoDownload) {
  AddTask(mgr_, 60, kTaskProduct, "http://127.0.0.1:9/x");
  mgr_.StartDownTask(kTaskProduct);
  mgr_.RestartTask(60);
  EXPECT_TRUE(Logged("[ERROR] function interface is null."));
  EXPECT_EQ(mgr_.Status, u"0");
}

// Real downloads through the engine: several tasks at once, and the restart rules.
class ControllerDownloadTest : public SessionEnvTest {
 protected:
  void SetUp() override {
    SessionEnvTest::SetUp();
    ns_NUK::SetEngineTimings(ns_NUK::FastEngineTimings());
    ASSERT_TRUE(server_.Start());
    mgr_ = std::make_unique<NuvMgr>();
    mgr_->notifyHandler = &handler_;
    save_ = Root() + "save/";
  }
  void TearDown() override {
    mgr_.reset();
    server_.Stop();
    SessionEnvTest::TearDown();
  }

  NuvTask& Package(int32_t id, int32_t type, int64_t size, bool withDigest = true) {
    const std::string path = "/pkg/p" + std::to_string(id) + ".bin";
    const testbed::PackageInfo info = server_.Packages().AddGenerated(path, size);
    NuvTask& task = AddTask(*mgr_, id, type, server_.Url(path), save_);
    if (withDigest) task.SetMd5List(Utf8ToWide(info.md5));
    return task;
  }

  testbed::Server server_;
  RecordingHandler handler_;
  std::unique_ptr<NuvMgr> mgr_;
  std::string save_;
};

TEST_F(ControllerDownloadTest, SeveralTasksAtOnce) {
  NuvTask& product = Package(70, kTaskProduct, 3 << 20);
  NuvTask& dep1 = Package(71, kTaskDependent, 1 << 20);
  NuvTask& dep2 = Package(72, kTaskDependent, 2 << 20);
  mgr_->StartDownTask(kTaskDependent);
  mgr_->StartDownTask(kTaskProduct);
  ASSERT_TRUE(handler_.WaitFinished(3));
  for (const auto& [id, code] : handler_.Finished()) EXPECT_EQ(code, 0) << id;
  for (NuvTask* task : {&product, &dep1, &dep2}) {
    EXPECT_EQ(task->downloadState, kStateSucceeded);
    EXPECT_EQ(task->downloaded, task->total);
    EXPECT_GT(task->downloadStart, 0);
    EXPECT_GE(task->downloadEnd, task->downloadStart);
    EXPECT_TRUE(nuv::os::PathExists(WideToUtf8(task->SavePath())));
    EXPECT_TRUE(mgr_->Md5Matched(task->id));
    EXPECT_GT(task->connections, 0);
  }
  EXPECT_EQ(mgr_->Status, u"1");
  const auto calls = handler_.ProgressCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().total, (3 << 20) + (1 << 20) + (2 << 20));
  EXPECT_EQ(calls.back().downloaded, calls.back().total);
  EXPECT_EQ(calls.back().count, 3);
  EXPECT_TRUE(Logged("[INFO] prepare download, task_id=[71]."));
}

TEST_F(ControllerDownloadTest, RestartKeepsAVerifiedPackageAndItsDigestOtherwise) {
  NuvTask& good = Package(80, kTaskProduct, 512 << 10);
  NuvTask& bad = Package(81, kTaskDependent, 512 << 10, false);
  bad.SetMd5List(u"00000000000000000000000000000000");
  bad.forceInstall = false;
  mgr_->StartDownTask(kTaskProduct);
  mgr_->StartDownTask(kTaskDependent);
  ASSERT_TRUE(handler_.WaitFinished(2));
  EXPECT_EQ(bad.downloadState, kStateFailed);
  EXPECT_EQ(bad.downloadCode, 11);

  // The verified package stays and only its installation is armed again.
  good.installState = kStateFailed;
  const size_t getsBefore = server_.Requests().size();
  mgr_->RestartTask(80);
  EXPECT_EQ(good.installState, kStateNone);
  EXPECT_EQ(good.downloadState, kStateSucceeded);

  // The failed one downloads again, still held to its digest (so it fails again rather than
  // being accepted unchecked) and still optional.
  bad.installState = kStateFailed;
  mgr_->RestartTask(81);
  EXPECT_EQ(bad.Md5List(), u"00000000000000000000000000000000");
  EXPECT_FALSE(bad.forceInstall);
  EXPECT_EQ(bad.installState, kStateNone);
  ASSERT_TRUE(handler_.WaitFinished(3));
  EXPECT_EQ(handler_.Finished().back(), std::make_pair(81, 0));  // optional: nothing to do
  EXPECT_EQ(bad.downloadState, kStateFailed);
  EXPECT_EQ(bad.downloadCode, 11);
  bool fetchedAgain = false;
  for (size_t i = getsBefore; i < server_.Requests().size(); ++i) {
    EXPECT_EQ(server_.Requests()[i].path.find("/pkg/p80"), std::string::npos);
    fetchedAgain = fetchedAgain || server_.Requests()[i].path == "/pkg/p81.bin";
  }
  EXPECT_TRUE(fetchedAgain);
}

}  // namespace
