#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "e2e_run.h"
#include "testbed/faults.h"
#include "xml/utf.h"

using namespace std::chrono_literals;

namespace {

class FailedRunTest : public E2eRunTest {
 protected:
  // A product whose own package behaves as given; with digest the server names its MD5, without
  // one the package comes over HTTPS (nothing else would be run).
  std::string ServeProduct(const std::string& pid, sample_setup::Settings settings, bool digest,
                           std::vector<DependentEntry> dependents = {},
                           const std::string& dotnetUrl = {}) {
    const std::string name = "capturo-" + pid + ".run";
    const std::string plain = ServePackage(name, settings);
    const std::string url = digest ? plain : SecureUrl(name);
    ServeRuntime(pid, "<version>2.0.0.0</version>" +
                          (digest ? "<download_url_x64>" + url + "</download_url_x64><md5_64>" +
                                        Served(name).md5 + "</md5_64>"
                                  : std::string()));
    UseProduct({pid, url, std::move(dependents), dotnetUrl.empty() ? "" : "4.8", dotnetUrl});
    return url;
  }

  static std::vector<int32_t> Codes(const std::vector<TestWindow::Event>& events, int32_t id) {
    std::vector<int32_t> codes;
    for (const TestWindow::Event& e : events)
      if (e.taskId == id) codes.push_back(e.code);
    return codes;
  }

  bool HasRemark(const std::string& fragment) const {
    const std::vector<std::string> remarks = Remarks();
    return std::find(remarks.begin(), remarks.end(), fragment) != remarks.end();
  }
};

// The installer fails with 5 twice; each failure deletes the unverified package, so the retry
// downloads it again, and the third package (fixed meanwhile) installs. One report for the code.
TEST_F(FailedRunTest, InstallerExitFiveIsRetriedWithAFreshDownloadAndReportedOnce) {
  sample_setup::Settings failing = SetupSettings("Capturo");
  failing.Set("exit_code", "5");
  ServeProduct("30001", failing, /*digest=*/false);

  TestWindow window;
  NuvMgr mgr;
  int failures = 0;
  window.SetInstallHook([&](NuvTask& task, int32_t code) {
    if (code == 0) return;
    EXPECT_FALSE(std::filesystem::exists(WideToUtf8(task.SavePath()))) << "kept after failure";
    if (++failures == 2) ServePackage("capturo-30001.run", SetupSettings("Capturo"));
  });
  const RunOutcome outcome = Run(mgr, window);
  ASSERT_TRUE(outcome.installed);

  EXPECT_EQ(Codes(window.Installs(), 30001), (std::vector<int32_t>{5, 5, 0}));
  EXPECT_EQ(Codes(window.Finished(), 30001), (std::vector<int32_t>{0, 0, 0}));
  EXPECT_EQ(window.RetryCount(), 2);
  EXPECT_TRUE(HasRemark("{\"install_err_30001\":5}"));
  EXPECT_EQ(Reports("install err=5"), 1);
  EXPECT_TRUE(std::filesystem::exists(InstallFolder() + "Veltrin/Capturo/Capturo"));
}

// A package that matched the server's digest stays on disk: every retry only runs it again, and
// after the last retry the window shows the failed page.
TEST_F(FailedRunTest, InstallerExitFiveWithAVerifiedPackageKeepsItUntilTheFailedPage) {
  sample_setup::Settings failing = SetupSettings("Capturo");
  failing.Set("exit_code", "5");
  ServeProduct("30002", failing, /*digest=*/true);

  TestWindow window;
  NuvMgr mgr;
  const RunOutcome outcome = Run(mgr, window);
  ASSERT_TRUE(outcome.failedPage);

  EXPECT_EQ(Codes(window.Installs(), 30002), std::vector<int32_t>(9, 5));
  EXPECT_EQ(Codes(window.Finished(), 30002), (std::vector<int32_t>{0}));
  EXPECT_EQ(window.RetryCount(), TestWindow::kRetryBudget);
  NuvTask* task = mgr.FindTask(30002);
  ASSERT_NE(task, nullptr);
  EXPECT_TRUE(mgr.Md5Matched(30002));
  EXPECT_TRUE(std::filesystem::exists(WideToUtf8(task->SavePath())));
  EXPECT_EQ(task->installState.load(), kStateFailed);
  EXPECT_TRUE(HasRemark("{\"install_err_30002\":5}"));
  EXPECT_EQ(Reports("install err=5"), 1);
}

// A dependent that need not be installed: its failure never holds up the run.
TEST_F(FailedRunTest, OptionalDependentThatFailsToDownloadCountsAsDone) {
  const std::string depUrl = ServePackage("optional.run", SetupSettings("Optional"));
  Cloud().server.Packages().SetFaults("/pkg/optional.run", *testbed::ParseFaults("status:404"));
  ServeProduct("30003", SetupSettings("Capturo"), false,
               {{"20003", "Optional", depUrl, /*forceInstall=*/"false"}});

  TestWindow window;
  NuvMgr mgr;
  const RunOutcome outcome = Run(mgr, window);
  ASSERT_TRUE(outcome.installed);

  EXPECT_EQ(Codes(window.Finished(), 20003), (std::vector<int32_t>{0}));
  EXPECT_TRUE(Codes(window.Installs(), 20003).empty());
  EXPECT_EQ(Codes(window.Installs(), 30003), (std::vector<int32_t>{0}));
  EXPECT_EQ(window.RetryCount(), 0);
  NuvTask* dep = mgr.FindTask(20003);
  ASSERT_NE(dep, nullptr);
  EXPECT_EQ(dep->downloadState.load(), kStateFailed);
  EXPECT_NE(dep->downloadCode.load(), 0);
  EXPECT_FALSE(Logged("remark=[download err="));
}

// The package server refuses every request, so the first download and every retry fail: the
// engine's code reaches the window each time, one report goes out for it, and the budget ends on
// the failed page.
TEST_F(FailedRunTest, DownloadFailingEveryTimeReachesTheWindowAndEndsOnTheFailedPage) {
  ServeProduct("30004", SetupSettings("Capturo"), false);
  Cloud().secure.Packages().SetFaults("/pkg/capturo-30004.run",
                                      *testbed::ParseFaults("status:500"));

  TestWindow window;
  NuvMgr mgr;
  const RunOutcome outcome = Run(mgr, window);
  ASSERT_TRUE(outcome.failedPage);

  const std::vector<int32_t> codes = Codes(window.Finished(), 30004);
  ASSERT_EQ(codes.size(), 9u);
  EXPECT_NE(codes[0], 0);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), codes[0]), 9);
  EXPECT_TRUE(window.Installs().empty());
  EXPECT_EQ(Reports("download err=" + std::to_string(codes[0])), 1);
  EXPECT_EQ(mgr.FindTask(30004)->downloadCode.load(), codes[0]);
}

// The .NET installer keeps failing; its third run (second retry) counts as a success, and the
// product is installed after it.
TEST_F(FailedRunTest, DotnetInstallerFailingOnItsSecondRetryIsTakenAsSuccess) {
  sample_setup::Settings netfx = SetupSettings("NetFx");
  netfx.Set("exit_code", "1");
  ServePackage("netfx.run", netfx);
  ServeProduct("30005", SetupSettings("Capturo"), false, {}, SecureUrl("netfx.run"));

  TestWindow window;
  NuvMgr mgr;
  const RunOutcome outcome = Run(mgr, window);
  ASSERT_TRUE(outcome.installed);

  EXPECT_EQ(Codes(window.Installs(), kDotnetTaskId), (std::vector<int32_t>{1, 1, 0}));
  EXPECT_EQ(Codes(window.Installs(), 30005), (std::vector<int32_t>{0}));
  EXPECT_EQ(mgr.FindTask(kDotnetTaskId)->installState.load(), kStateSucceeded);
  EXPECT_EQ(window.RetryCount(), 2);
  EXPECT_TRUE(HasRemark("{\"install_err_9876\":1}"));
  EXPECT_EQ(Reports("install err=1"), 1);
}

// The server names no digest and the package comes over plain HTTP from the local URL: whatever
// arrives is not run as root. Here it is a script in place of the setup; it never runs, the run
// never reports success, and each refusal says why.
TEST_F(FailedRunTest, PackageWithoutDigestOverPlainHttpIsNeverRun) {
  const std::string marker = Root() + "script-ran";
  const std::string script = Root() + "packages/capturo-setup-x64.run";
  WriteWholeFile(script, "#!/bin/sh\ntouch '" + marker + "'\n");
  ASSERT_TRUE(Cloud().server.Packages().AddFile("/pkg/capturo-setup-x64.run", script));
  ServeRuntime("30007", "<version>2.0.0.0</version>");
  UseProduct({"30007", Cloud().Base() + "/pkg/capturo-setup-x64.run", {}});

  TestWindow window;
  NuvMgr mgr;
  const RunOutcome outcome = Run(mgr, window);
  EXPECT_FALSE(outcome.installed);
  EXPECT_TRUE(outcome.failedPage);
  EXPECT_FALSE(std::filesystem::exists(marker)) << "the unverified package ran";
  const std::vector<int32_t> codes = Codes(window.Installs(), 30007);
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(std::count(codes.begin(), codes.end(), -1), static_cast<long>(codes.size()));
  EXPECT_TRUE(HasRemark("{\"install_refused_30007\":\"no md5 and not https\"}"));
  EXPECT_EQ(mgr.FindTask(30007)->installState.load(), kStateFailed);
}

}  // namespace
