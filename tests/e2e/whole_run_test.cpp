#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "analytics/report_data_store.h"
#include "e2e_run.h"
#include "platform/os/folders.h"
#include "platform/registry.h"
#include "xml/utf.h"

using namespace std::chrono_literals;

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

class WholeRunTest : public E2eRunTest {
 protected:
  static constexpr const char* kPid = "10707";
  static constexpr const char* kHelperPid = "20001";

  // The product with a digest from the server and one dependent that must be installed.
  void ServeProduct() {
    const std::string url = ServePackage("capturo.run", SetupSettings("Capturo"));
    const testbed::PackageInfo main = Served("capturo.run");
    ServeRuntime(kPid, "<version>2.0.0.0</version><download_url_x64>" + url +
                           "</download_url_x64><md5_64>" + main.md5 + "</md5_64>");
    UseProduct(
        {kPid, url, {{kHelperPid, "Helper", ServePackage("helper.run", SetupSettings("Helper"))}}});
  }

  // Waits until the collector holds a record of every one of these events.
  bool WaitForEvents(const std::set<std::string>& wanted) const {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    for (;;) {
      const std::vector<std::string> names = EventNames();
      std::set<std::string> missing = wanted;
      for (const std::string& n : names) missing.erase(n);
      if (missing.empty()) return true;
      const auto left = deadline - std::chrono::steady_clock::now();
      if (left <= 0s) return false;
      Cloud().collector->WaitForRecords(
          names.size() + 1, std::chrono::duration_cast<std::chrono::milliseconds>(left));
    }
  }
};

TEST_F(WholeRunTest, InstallsStartsTheProductOpensThePagesAndReports) {
  ServeProduct();
  TestWindow window;
  NuvMgr mgr;
  const RunOutcome outcome = Run(mgr, window);
  ASSERT_TRUE(outcome.installed) << "failed page " << outcome.failedPage << ", timed out "
                                 << outcome.timedOut;
  EXPECT_TRUE(mgr.isFirstInstall);
  EXPECT_EQ(window.RetryCount(), 0);

  // The product went into the chosen folder; the dependent, not being the startup product, into
  // its setup's own folder. Each setup wrote its registry record.
  const std::string productFolder = InstallFolder() + "Veltrin/Capturo/";
  EXPECT_TRUE(std::filesystem::exists(productFolder + "Capturo"));
  EXPECT_TRUE(std::filesystem::exists(Prefix() + "/opt/Veltrin/Helper/Helper"));
  char hwnd[16];
  std::snprintf(hwnd, sizeof hwnd, "%X", window.Handle());
  EXPECT_EQ(
      Lines(productFolder + "setup-args.txt"),
      (std::vector<std::string>{
          "/VERYSILENT", "/NOPAGE", "/LANG=en", "/LOG=" + nuv::os::TempFolder() + "NUV-10707.log",
          "/installpath:", productFolder, "/DIR=" + productFolder, std::string("/NUVWIN=") + hwnd,
          "/PID=10707", "/SCENE_CODE=e2e_scene"}));
  for (uint32_t pid : {10707u, 20001u}) {
    std::u16string version;
    EXPECT_TRUE(platform::GetInstalledVersion(u"Veltrin", pid, version)) << pid;
    EXPECT_EQ(version, u"2.0.0.0") << pid;
  }

  // Both downloads and both installations reported success to the window; the installers
  // reported their progress and their texts to its socket.
  std::set<int32_t> finished, installed;
  for (const TestWindow::Event& e : window.Finished()) {
    EXPECT_EQ(e.code, 0) << e.taskId;
    finished.insert(e.taskId);
  }
  for (const TestWindow::Event& e : window.Installs()) {
    EXPECT_EQ(e.code, 0) << e.taskId;
    installed.insert(e.taskId);
  }
  EXPECT_EQ(finished, (std::set<int32_t>{10707, 20001}));
  EXPECT_EQ(installed, (std::set<int32_t>{10707, 20001}));
  EXPECT_GT(window.ProgressCalls(), 0);
  const std::vector<uint64_t> percents = window.InstallerPercents();
  EXPECT_EQ(std::count(percents.begin(), percents.end(), 100u), 2) << percents.size();
  EXPECT_EQ(std::count(percents.begin(), percents.end(), 50u), 2);
  std::set<std::u16string> texts;
  for (const std::u16string& t : window.CopyTexts()) texts.insert(t);
  EXPECT_EQ(texts.size(), 2u);
  EXPECT_TRUE(texts.count(
      u"{\"pid\":\"e2e\",\"event\":\"installed\",\"time\":\"1\",\"data\":\"Capturo\"}"));

  // The after page: the product starts from its folder, the pages open in the registered browser.
  ASSERT_TRUE(mgr.StartProduct());
  const std::vector<std::string> starts = WaitForLines(StartRecord(), 1, 10s);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_NE(starts[0].find("cwd=" + InstallFolder() + "Veltrin/Capturo"), std::string::npos)
      << starts[0];
  ASSERT_TRUE(mgr.OpenFollowUpPages());
  const std::vector<std::string> pages = WaitForLines(BrowserRecord(), 2, 10s);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_TRUE(StartsWith(pages[0], std::string(kJumpUrl) + "?client_sign=")) << pages[0];
  EXPECT_TRUE(StartsWith(pages[1], std::string(kThanksUrl) + "&client_sign=")) << pages[1];
  EXPECT_NE(pages[1].find("&m_nProductID=10707&"), std::string::npos) << pages[1];
  EXPECT_NE(pages[1].find("&product_version=2.0.0.0&"), std::string::npos) << pages[1];
  EXPECT_TRUE(Logged("[WARN] jump url=[not-a-page] is invalid."));

  // The session ends: the track report goes to the platform server.
  Close(mgr);
  ASSERT_TRUE(Cloud().platform->WaitForTrackReports(1, 10s));
  const std::string report = Cloud().platform->TrackReports()[0].body;
  EXPECT_NE(report.find("\"is_first_install\":1"), std::string::npos);
  EXPECT_NE(report.find("\"installstate\":\"2000\""), std::string::npos) << report;
  // The installers' texts arrived through the window's socket and went into the report.
  EXPECT_NE(report.find("installed,1,Capturo"), std::string::npos) << report;

  // What the cloud saw: one runtime request, one series post, the events of the run.
  const std::vector<std::string> queries = Cloud().platform->RuntimeQueries();
  ASSERT_EQ(queries.size(), 1u);
  EXPECT_NE(queries[0].find("product_id=10707"), std::string::npos);
  int series = 0;
  for (const testbed::RecordedRequest& r : Cloud().server.Requests())
    if (r.path == testbed::ServiceApiSide::kSeriesPath) {
      ++series;
      EXPECT_TRUE(StartsWith(r.body, "{\"product_id\":10707, \"client_sign\":\"")) << r.body;
    }
  EXPECT_EQ(series, 1);
  EXPECT_TRUE(WaitForEvents({"downloader_config", "downloader_download", "downloader_install",
                             "start_product", "downloader_web"}));
  const std::set<std::string> known = {"downloader_config",  "downloader_download",
                                       "downloader_install", "downloader_dns",
                                       "start_product",      "downloader_web"};
  for (const std::string& name : EventNames()) EXPECT_TRUE(known.count(name)) << name;
  // Besides: the retention query of the planning, and HTTP DNS, which the engine asks because a
  // host with a port ("127.0.0.2:PORT") is no name the system resolver knows.
  EXPECT_EQ(UnexpectedRequests(
                {"/rest/v2/downloader/", "/api/v1/prodweb/trk", testbed::ServiceApiSide::kTokenPath,
                 testbed::ServiceApiSide::kSeriesPath, testbed::ServiceApiSide::kRecoveryPath,
                 "/resolve", "/sa", "/pkg/capturo.run", "/pkg/helper.run"}),
            std::vector<std::string>{});
}

TEST_F(WholeRunTest, SecondRunFindsTheInstalledVersion) {
  ServeProduct();
  {
    TestWindow window;
    NuvMgr mgr;
    ASSERT_TRUE(Run(mgr, window).installed);
  }
  Cloud().platform->Clear();
  GetReportDataStore().SetFirstInstall(true);

  NuvMgr mgr;
  ASSERT_TRUE(mgr.LoadLocalXml());
  mgr.PrepareDown();
  EXPECT_FALSE(mgr.isFirstInstall);
  EXPECT_TRUE(Logged("[INFO] pid=[10707] already install version=[2.0.0.0]."));
  GetReportDataStore().SetDownloadStarted(true);
  Close(mgr);
  ASSERT_TRUE(Cloud().platform->WaitForTrackReports(1, 10s));
  EXPECT_NE(Cloud().platform->TrackReports()[0].body.find("\"is_first_install\":0"),
            std::string::npos);
}

}  // namespace
