#include "e2e_run.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "analytics/report_data_store.h"
#include "e2e_fork_record.h"
#include "log/log_folder.h"
#include "platform/os/registry_store.h"
#include "platform/registry.h"
#include "xml/utf.h"

using namespace std::chrono_literals;

namespace {

// The digest of the package the cloud serves at the URL; empty for any other URL.
std::string ServedDigest(const std::string& url) {
  const std::string base = Cloud().Base();
  if (url.rfind(base, 0) != 0) return {};
  const auto info = Cloud().server.Packages().Find(url.substr(base.size()));
  return info ? info->md5 : std::string();
}

// The item of the product document, or with its digests as the runtime reply's bind section
// gives it.
std::string Item(const DependentEntry& d, const std::string& md5 = {}) {
  const std::string digests =
      md5.empty() ? "" : "<md5>" + md5 + "</md5><md5_64>" + md5 + "</md5_64>";
  return "<item><ProductID>" + d.pid + "</ProductID><ProductName>" + d.name +
         "</ProductName><ProductExe>" + d.name + "</ProductExe><Url_Down>" + d.url +
         "</Url_Down><Url_Downx64>" + d.url + "</Url_Downx64>" + digests + "<ForceInstall>" +
         d.forceInstall + "</ForceInstall><ForkInstall>" + d.forkInstall + "</ForkInstall></item>";
}

std::string JsonString(const std::string& record, const std::string& name) {
  const std::string key = "\"" + name + "\":\"";
  const size_t at = record.find(key);
  if (at == std::string::npos) return {};
  const size_t end = record.find('"', at + key.size());
  return record.substr(at + key.size(), end - at - key.size());
}

}  // namespace

void E2eRunTest::SetUp() {
  SessionEnvTest::SetUp();
  Cloud().Reset();
  platform::OverrideIsWow64ForTest(true);
  // One big data drive beside the system drive, both real folders of this sandbox.
  UseDrives({{"sys", 50ull << 30}, {"data", 80ull << 30}}, "sys");
  GetReportDataStore().SetFirstInstall(true);
  GetReportDataStore().SetDownloadStarted(false);
  program_ = ReadWholeFile(SAMPLE_SETUP_PATH);
  ASSERT_FALSE(program_.empty());
  std::filesystem::create_directories(Root() + "packages");
  std::filesystem::create_directories(InstallFolder());

  // The program's own log, which every error report uploads.
  std::filesystem::create_directories(DefaultLogFolder());
  WriteWholeFile(DefaultLogFilePath(), "[INFO] e2e run\n");

  // The preferred browser only records what it is asked to open.
  const std::string browser = Root() + "chrome";
  WriteWholeFile(browser, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + BrowserRecord() + "'\n");
  ASSERT_EQ(chmod(browser.c_str(), 0755), 0);
  nuv::os::RegistryStore registry;
  const std::u16string key = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe";
  ASSERT_TRUE(registry.CreateKey(nuv::os::Hive::LocalMachine, nuv::os::View::Default, key));
  ASSERT_TRUE(registry.SetValue(nuv::os::Hive::LocalMachine, nuv::os::View::Default, key, u"",
                                nuv::os::RegValue::Sz(Utf8ToWide(browser))));

  runEnv_.push_back(std::make_unique<ScopedEnv>(kForkRecordEnv, ForkRecord()));
}

void E2eRunTest::TearDown() {
  // A failed run's log is kept where NUV_E2E_KEEP_LOGS names, for reading after the sandbox is
  // gone.
  if (const char* keep = getenv("NUV_E2E_KEEP_LOGS"); keep && HasFailure()) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::copy_file(Root() + "test.log", std::string(keep) + "/" + info->name() + ".log",
                               std::filesystem::copy_options::overwrite_existing);
  }
  runEnv_.clear();
  platform::OverrideIsWow64ForTest(std::nullopt);
  SessionEnvTest::TearDown();
}

sample_setup::Settings E2eRunTest::SetupSettings(const std::string& product) const {
  sample_setup::Settings s;
  s.Set("brand", kBrand);
  s.Set("product", product);
  s.Set("exe", product);
  s.Set("version", "2.0.0.0");
  s.Set("progress_step", "25");
  s.Set("payload_bytes", "20000");
  s.Set("copydata",
        "{\"pid\":\"e2e\",\"event\":\"installed\",\"time\":\"1\",\"data\":\"" + product + "\"}");
  s.Set("start_record", StartRecord());
  return s;
}

std::string E2eRunTest::ServePackage(const std::string& name, sample_setup::Settings settings) {
  std::optional<std::string> bytes = sample_setup::BuildPackage(program_, settings);
  EXPECT_TRUE(bytes);
  const std::string file = Root() + "packages/" + name;
  WriteWholeFile(file, bytes.value_or(""));
  const std::string path = "/pkg/" + name;
  for (testbed::Server* server : {&Cloud().server, &Cloud().secure}) {
    server->Packages().Remove(path);
    EXPECT_TRUE(server->Packages().AddFile(path, file));
  }
  return Cloud().Base() + path;
}

std::string E2eRunTest::SecureUrl(const std::string& name) const {
  return Cloud().secure.Url("/pkg/" + name);
}

testbed::PackageInfo E2eRunTest::Served(const std::string& name) const {
  return Cloud().server.Packages().Find("/pkg/" + name).value_or(testbed::PackageInfo{});
}

void E2eRunTest::ServeRuntime(const std::string& pid, const std::string& runtimeInner) {
  runtimes_[pid] = runtimeInner;
  PublishRuntime(pid);
}

void E2eRunTest::PublishRuntime(const std::string& pid) {
  Cloud().platform->SetRuntimeXml(
      pid, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<vtrp><downloader><runtime>" +
               runtimes_[pid] + "</runtime><bind>" + binds_[pid] + "</bind></downloader></vtrp>");
}

void E2eRunTest::UseProduct(const ProductDocument& product) {
  std::string items;
  std::string binds;
  for (const DependentEntry& d : product.dependents) {
    items += Item(d);
    // The server names the digest of every dependent package it serves.
    if (const std::string md5 = ServedDigest(d.url); !md5.empty()) binds += Item(d, md5);
  }
  binds_[product.pid] = binds;
  PublishRuntime(product.pid);
  UseProductXml(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Product>"
      "<ProductBrand>" +
      std::string(kBrand) +
      "</ProductBrand>"
      "<ProductName>Capturo</ProductName><ProductExe>Capturo</ProductExe>"
      "<ServerHost>" +
      Cloud().Base() +
      "</ServerHost>"
      "<ProductID>" +
      product.pid +
      "</ProductID><Channel>e2e</Channel>"
      "<Downurl><OnlyUseLocalUrl>0</OnlyUseLocalUrl><Url_Down>" +
      product.url +
      "</Url_Down></Downurl>"
      "<Downurl_x64><OnlyUseLocalUrl>0</OnlyUseLocalUrl><Url_Down>" +
      product.url +
      "</Url_Down></Downurl_x64>"
      "<InstallTime>120</InstallTime>"
      "<Installurl><OnlyUseLocalUrl>1</OnlyUseLocalUrl><Url_Install>" +
      std::string(kThanksUrl) +
      "</Url_Install></Installurl>"
      "<Dotnetminver>" +
      product.dotnetMinVersion +
      "</Dotnetminver>"
      "<Dotneturl>" +
      product.dotnetUrl +
      "</Dotneturl>"
      "<Url_Jump>" +
      std::string(kJumpUrl) +
      ";not-a-page</Url_Jump>"
      "<SceneCode>e2e_scene</SceneCode>"
      "<Dependent>" +
      items + "</Dependent></Product>\n");
}

RunOutcome E2eRunTest::Run(NuvMgr& mgr, TestWindow& window) {
  RunOutcome outcome;
  // Start-up: configuration, run configuration, the main window.
  EXPECT_TRUE(mgr.LoadLocalXml());
  mgr.ReadRunConfig();
  EXPECT_TRUE(window.Start());
  mgr.mainWnd = window.Handle();
  mgr.notifyHandler = &window;

  // The init thread.
  std::thread([&] { mgr.PrepareDown(); }).join();

  // Start install: the user's folder, then the download thread.
  GetReportDataStore().SetDownloadStarted(true);
  {
    std::lock_guard<std::mutex> hold(mgr.runConfigLock);
    mgr.InstallPath = Utf8ToWide(InstallFolder());
    mgr.SelectLang = u"en";
    mgr.JoinExp = u"1";
  }
  std::thread([&] {
    mgr.BuildInstallPara(u"en");
    for (int32_t type : {kTaskDotnet, kTaskDependent, kTaskProduct}) mgr.StartDownTask(type);
    mgr.WriteRunConfig();
  }).join();

  // The install watcher: installs what is downloaded, restarts what the window queued.
  const auto deadline = std::chrono::steady_clock::now() + runLimit_;
  std::thread([&] {
    for (;;) {
      const uint64_t seen = window.News();
      if (window.FailedPage()) {
        outcome.failedPage = true;
        return;
      }
      if (std::chrono::steady_clock::now() > deadline) {
        outcome.timedOut = true;
        return;
      }
      if (mgr.InstallTask(kTaskDotnet).first && mgr.InstallTask(kTaskDependent).first &&
          mgr.InstallTask(kTaskProduct).first) {
        mgr.DeleteRunConfig();
        outcome.installed = true;
        return;
      }
      for (int32_t id : window.TakeRetries()) mgr.RestartTask(id);
      // The window sleeps a second between passes; a finished download or a queued retry is
      // what a pass waits for.
      window.WaitForNews(seen, 1000ms);
    }
  }).join();
  return outcome;
}

void E2eRunTest::Close(NuvMgr& mgr) {
  if (mgr.SessionSummary()) GetReportDataStore().SendTrackReport();
}

std::vector<std::string> E2eRunTest::Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(ReadWholeFile(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> E2eRunTest::WaitForLines(const std::string& path, size_t count,
                                                  std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    std::vector<std::string> lines = Lines(path);
    if (lines.size() >= count || std::chrono::steady_clock::now() > deadline) return lines;
    // A file another process appends to has no condition to wait on; look again shortly.
    std::this_thread::sleep_for(20ms);
  }
}

std::vector<std::string> E2eRunTest::UnexpectedRequests(
    const std::vector<std::string>& prefixes) const {
  std::vector<std::string> out;
  for (const testbed::RecordedRequest& r : Cloud().server.Requests()) {
    bool known = false;
    for (const std::string& p : prefixes) known = known || r.path.rfind(p, 0) == 0;
    if (!known) out.push_back(r.method + " " + r.path);
  }
  return out;
}

std::vector<std::string> E2eRunTest::EventNames() const {
  std::vector<std::string> names;
  for (const std::string& record : Cloud().collector->Records())
    names.push_back(JsonString(record, "event"));
  return names;
}

std::vector<std::string> E2eRunTest::Remarks() const {
  return GetReportDataStore().Snapshot().remarks1;
}

int E2eRunTest::Reports(const std::string& remark) const {
  int n = 0;
  for (const testbed::RecordedRequest& r : Cloud().server.Requests())
    if (r.path == testbed::ServiceApiSide::kLogReportPath &&
        r.body.find("\"remark\":\"" + remark + "\"") != std::string::npos)
      ++n;
  return n;
}
