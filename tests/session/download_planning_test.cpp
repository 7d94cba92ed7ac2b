#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "analytics/common_properties.h"
#include "platform/os/registry_store.h"
#include "platform/registry.h"
#include "session/nuv_mgr.h"
#include "session/session_env.h"
#include "testbed/platform_side.h"
#include "testbed/testbed.h"
#include "xml/utf.h"

namespace {

namespace fs = std::filesystem;
using nuv::os::Hive;
using nuv::os::RegistryStore;
using nuv::os::RegValue;
using nuv::os::View;

constexpr char kBrand[] = "NuvBrand";
constexpr int64_t kGiB = int64_t{1} << 30;
// Nothing listens there: a probe of it finds no size.
constexpr char16_t kDeadUrl[] = u"http://127.0.0.1:9/none.run";

std::vector<int32_t> Ids(const NuvMgr& mgr) {
  std::vector<int32_t> ids;
  for (const auto& task : mgr.tasks) ids.push_back(task->id);
  return ids;
}

const NuvTask* Task(const NuvMgr& mgr, int32_t id) {
  for (const auto& task : mgr.tasks)
    if (task->id == id) return task.get();
  return nullptr;
}

DependentItem Dependent(const std::u16string& pid) {
  DependentItem item;
  item.ProductID = pid;
  item.ProductName = u"dep " + pid;
  item.Url_Down = u"http://127.0.0.1:9/" + pid + u"-x86.run";
  item.Url_Downx64 = u"http://127.0.0.1:9/" + pid + u"-x64.run";
  return item;
}

void PutRegistry(Hive hive, View view, const std::u16string& key, const std::u16string& name,
                 const RegValue& value) {
  RegistryStore reg;
  ASSERT_TRUE(reg.CreateKey(hive, view, key));
  ASSERT_TRUE(reg.SetValue(hive, view, key, name, value));
}

class DownloadPlanningTest : public SessionEnvTest {
 protected:
  void SetUp() override {
    SessionEnvTest::SetUp();
    server_.AddSide(platform_);
    ASSERT_TRUE(server_.Start());
    platform::OverrideIsWow64ForTest(false);
  }
  void TearDown() override {
    platform::OverrideIsWow64ForTest(std::nullopt);
    SessionEnvTest::TearDown();
  }

  std::u16string Package(const std::string& path, int64_t size) {
    server_.Packages().AddGenerated(path, size);
    return Utf8ToWide(server_.Url(path));
  }
  // <root>/<brand>/Download/ on that drive, created.
  std::u16string DriveFolder(const std::string& drive) {
    const std::string folder = DriveRoot(drive) + kBrand + "/Download/";
    fs::create_directories(folder);
    return Utf8ToWide(folder);
  }
  std::unique_ptr<NuvMgr> NewMgr() {
    auto mgr = std::make_unique<NuvMgr>(nullptr);
    mgr->ProductBrand = Utf8ToWide(kBrand);
    mgr->ProductID = u"4321";
    mgr->ProductName = u"Demo";
    return mgr;
  }
  // What the log gained since the mark.
  std::string LogSince(size_t mark) const { return LogText().substr(mark); }

  testbed::Server server_;
  std::shared_ptr<testbed::PlatformSide> platform_ = std::make_shared<testbed::PlatformSide>();
};

TEST_F(DownloadPlanningTest, PackageWidthAndSourceOfTheMainPackage) {
  const std::u16string srv86 = Package("/srv86.run", 1000);
  const std::u16string srv64 = Package("/srv64.run", 2000);
  const std::u16string local86 = Package("/local86.run", 300);
  const std::u16string local64 = Package("/local64.run", 400);
  struct Case {
    const char* name;
    bool wow64;
    bool dependentHasX64;
    const char16_t* onlyLocalX64;
    const char16_t* localX64Url;  // nullptr: the local 64-bit URL
    bool serverX86;
    const char* bits;
    std::u16string url;
    std::u16string md5List;
    int64_t size;
    std::u16string dependentUrl;
    std::u16string dependentMd5;
  };
  const Case cases[] = {
      {"32-bit system", false, true, u"", nullptr, true, "32", srv86, u"M32,H32", 1000,
       u"http://127.0.0.1:9/77-x86.run", u"d32,e32"},
      {"a dependent lacks x64", true, false, u"", nullptr, true, "32", srv86, u"M32,H32", 1000,
       u"http://127.0.0.1:9/77-x86.run", u"d32,e32"},
      {"every piece has x64", true, true, u"", nullptr, true, "64", srv64, u"M64,H64", 2000,
       u"http://127.0.0.1:9/77-x64.run", u"d64,e64"},
      {"only the local x64 url", true, true, u"1", nullptr, true, "64", local64, u",", 400,
       u"http://127.0.0.1:9/77-x64.run", u"d64,e64"},
      {"local x64 demanded but missing", true, true, u"1", u"", true, "32", srv86, u"M32,H32", 1000,
       u"http://127.0.0.1:9/77-x86.run", u"d32,e32"},
      {"no server x86 url", false, true, u"", nullptr, false, "32", local86, u",", 300,
       u"http://127.0.0.1:9/77-x86.run", u"d32,e32"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::OverrideIsWow64ForTest(c.wow64);
    auto mgr = NewMgr();
    mgr->configFolder = DriveFolder("data");
    mgr->DownurlUrlDown = local86;
    mgr->DownurlX64UrlDown = c.localX64Url ? c.localX64Url : local64;
    mgr->DownurlX64OnlyUseLocalUrl = c.onlyLocalX64;
    if (c.serverX86) mgr->server.download_url = srv86;
    mgr->server.download_url_x64 = srv64;
    mgr->server.md5 = u"M32";
    mgr->server.history_md5_32 = u"H32";
    mgr->server.md5_64 = u"M64";
    mgr->server.history_md5_64 = u"H64";
    mgr->server.filesize = u"1000";
    DependentItem dep = Dependent(u"77");
    if (!c.dependentHasX64) dep.Url_Downx64.clear();
    dep.md5 = u"d32";
    dep.history_md5_32 = u"e32";
    dep.md5_64 = u"d64";
    dep.history_md5_64 = u"e64";
    mgr->dependents = {dep};

    const size_t mark = LogText().size();
    mgr->BuildProductAndDepentTask();

    ASSERT_EQ(Ids(*mgr), (std::vector<int32_t>{4321, 77}));
    const NuvTask& main = *mgr->tasks[0];
    EXPECT_EQ(main.type, kTaskProduct);
    EXPECT_EQ(main.url, c.url);
    EXPECT_EQ(main.Md5List(), c.md5List);
    EXPECT_EQ(main.serverSize, std::string(c.bits) == "32" ? 1000 : 0);
    EXPECT_EQ(mgr->packageSize, c.size);
    EXPECT_EQ(mgr->tasks[1]->url, c.dependentUrl);
    EXPECT_EQ(mgr->tasks[1]->Md5List(), c.dependentMd5);
    EXPECT_EQ(analytics::GetCommonProperties().Get("downpackagebits"), c.bits);

    const std::string log = LogSince(mark);
    EXPECT_NE(
        log.find("[INFO] BuildProductAndDepentTask, bit=[" + std::string(c.bits) + "] package."),
        std::string::npos);
    EXPECT_NE(log.find("[INFO] query package size=[" + std::to_string(c.size) + "] by domain_url."),
              std::string::npos);
    const bool local = c.md5List == u",";
    const std::string localLine = std::string("[INFO] BuildProductAndDepentTask, use local ") +
                                  (std::string(c.bits) == "64" ? "x64" : "x86") + " down url.";
    EXPECT_EQ(log.find(localLine) != std::string::npos, local) << log;
  }
}

TEST_F(DownloadPlanningTest, StartupProductAndInstallRoot) {
  struct Case {
    const char16_t* startup;
    const char* published;
    bool mainStarts;
    bool dependentStarts;
  };
  const Case cases[] = {
      {u"", "4321", true, false},
      {u"abc", "4321", true, false},  // not a number counts as none
      {u"77", "77", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.startup));
    auto mgr = NewMgr();
    mgr->configFolder = DriveFolder("data");
    mgr->DownurlUrlDown = kDeadUrl;
    mgr->StartupProduct = c.startup;
    mgr->dependents = {Dependent(u"77")};
    mgr->CustomInstallPath = Utf8ToWide(DriveRoot("data") + "Apps");
    mgr->BuildProductAndDepentTask();

    ASSERT_EQ(mgr->tasks.size(), 2u);
    EXPECT_EQ(mgr->tasks[0]->startupProduct, c.mainStarts);
    EXPECT_EQ(mgr->tasks[1]->startupProduct, c.dependentStarts);
    EXPECT_EQ(WideToUtf8(mgr->StartupProduct), c.published);
    EXPECT_EQ(analytics::GetCommonProperties().Get("startupproduct"), c.published);
    EXPECT_EQ(mgr->installRoot, Utf8ToWide(DriveRoot("data") + "Apps"));
  }

  // Without a usable custom path the Program Files folder stays.
  auto mgr = NewMgr();
  mgr->configFolder = DriveFolder("data");
  mgr->CustomInstallPath = u"relative/path";
  mgr->BuildProductAndDepentTask();
  EXPECT_EQ(mgr->installRoot, Utf8ToWide(Prefix() + "/opt/"));
}

TEST_F(DownloadPlanningTest, DependentsByModeWithTheirDigestsAndForceFlag) {
  const std::string hubFile = Root() + "hub-installed";
  auto dependents = [] {
    std::vector<DependentItem> items;
    for (auto [pid, md5, history, force, fork] : {std::tuple{u"101", u"a", u"b", u"true", u""},
                                                  {u"102", u"a", u"", u"True", u"0"},
                                                  {u"103", u"", u"b", u"false", u""},
                                                  {u"104", u"", u"", u"true", u"1"},
                                                  {u"10819", u"", u"", u"false", u"1"}}) {
      DependentItem item = Dependent(pid);
      item.md5 = md5;
      item.history_md5_32 = history;
      item.ForceInstall = force;
      item.ForkInstall = fork;
      item.filesize = u"55";
      items.push_back(item);
    }
    return items;
  };
  struct Case {
    bool fork;
    bool companionInstalled;
    std::vector<int32_t> ids;
  };
  const Case cases[] = {
      {false, false, {4321, 101, 102, 103}},
      {true, false, {104, 10819}},
      {true, true, {104}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.fork) + std::to_string(c.companionInstalled));
    if (c.companionInstalled) {
      WriteWholeFile(hubFile, "x");
      PutRegistry(Hive::LocalMachine, View::Bit64, u"Software\\Veltrin\\Veltrin Motif Hub",
                  u"InstallName", RegValue::Sz(Utf8ToWide(hubFile)));
    }
    auto mgr = NewMgr();
    mgr->configFolder = DriveFolder("data");
    mgr->DownurlUrlDown = kDeadUrl;
    mgr->forkMode = c.fork;
    mgr->dependents = dependents();
    const size_t mark = LogText().size();
    mgr->BuildProductAndDepentTask();

    EXPECT_EQ(Ids(*mgr), c.ids);
    EXPECT_TRUE(mgr->dependentByFork);
    EXPECT_EQ(LogSince(mark).find("[INFO] already install mhb.") != std::string::npos,
              c.companionInstalled);
    for (const auto& task : mgr->tasks) {
      EXPECT_EQ(task->folder, mgr->configFolder);
      if (task->id != 4321) {
        EXPECT_EQ(task->serverSize, 55);
      }
    }
    if (!c.fork) {
      EXPECT_EQ(Task(*mgr, 101)->Md5List(), u"a,b");
      EXPECT_EQ(Task(*mgr, 102)->Md5List(), u"a");
      EXPECT_EQ(Task(*mgr, 103)->Md5List(), u"b");
      EXPECT_TRUE(Task(*mgr, 101)->forceInstall);
      EXPECT_FALSE(Task(*mgr, 102)->forceInstall);  // only "true" exactly
      EXPECT_FALSE(Task(*mgr, 103)->forceInstall);
      EXPECT_EQ(Task(*mgr, 101)->type, kTaskDependent);
      EXPECT_EQ(Task(*mgr, 101)->productName, u"dep 101");
    }
  }
}

TEST_F(DownloadPlanningTest, UnknownSizePutsThePackageOnTheRoomiestDrive) {
  UseDrives({{"sys", 10}, {"small", 5}, {"big", 50}}, "sys");
  auto mgr = NewMgr();
  // An existing download folder that the start-up rule would keep choosing.
  mgr->configFolder = DriveFolder("small");
  mgr->DownurlUrlDown = kDeadUrl;
  mgr->BuildProductAndDepentTask();

  EXPECT_EQ(mgr->packageSize, 0);
  EXPECT_EQ(mgr->configFolder, Utf8ToWide(DriveRoot("big") + kBrand + "/Download/"));
  EXPECT_EQ(mgr->tasks[0]->folder, mgr->configFolder);
  EXPECT_TRUE(Logged("[INFO] query package size=[0] by domain_url."));
  EXPECT_TRUE(Logged("[INFO] save the package on the max free disk."));
  EXPECT_FALSE(Logged("update save folder"));
  // With no known size every space check passes.
  EXPECT_TRUE(mgr->CheckSpace(mgr->configFolder, false));
  EXPECT_TRUE(mgr->CheckSpace(mgr->configFolder, true));
}

TEST_F(DownloadPlanningTest, PartialPackageOfAnEarlierRun) {
  struct Case {
    const char* name;
    bool resume;
    const char* file;  // in the small drive's folder
    int64_t bytes;
    bool deleted;
    bool folderKept;
  };
  const Case cases[] = {
      {"smaller: stale", true, "setup.run.~P2S", 999, true, false},
      {"as large: resumable", true, "setup.run.~P2S", 1000, false, true},
      {"larger: resumable", true, "setup.run.~P2S", 1500, false, true},
      {"not resuming", false, "setup.run.~P2S", 10, false, false},
      {"not a partial package", true, "notes.txt", 10, false, false},
  };
  const std::u16string url = Package("/main.run", 1000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseDrives({{"sys", 10}, {"small", 500}, {"big", 5000}}, "sys");
    const std::u16string small = DriveFolder("small");
    const std::string partial = WideToUtf8(small) + c.file;
    WriteWholeFile(partial, std::string(static_cast<size_t>(c.bytes), 'p'));
    auto mgr = NewMgr();
    mgr->configFolder = small;
    mgr->DownurlUrlDown = url;
    mgr->resumeDownload = c.resume;
    mgr->TmpPackagePath = Utf8ToWide(partial);
    const size_t mark = LogText().size();
    mgr->BuildProductAndDepentTask();

    EXPECT_EQ(mgr->packageSize, 1000);
    EXPECT_EQ(fs::exists(partial), !c.deleted);
    EXPECT_EQ(LogSince(mark).find("[INFO] delete old temp package.") != std::string::npos,
              c.deleted);
    const std::u16string expected =
        c.folderKept ? small : Utf8ToWide(DriveRoot("big") + kBrand + "/Download/");
    EXPECT_EQ(mgr->configFolder, expected);
    EXPECT_EQ(mgr->tasks[0]->folder, expected);
    fs::remove(partial);
  }
}

TEST_F(DownloadPlanningTest, SaveFolderMovesOnlyToADriveWithRoom) {
  UseDrives({{"sys", 10}, {"small", 500}, {"big", 5000}}, "sys");
  auto mgr = NewMgr();
  const std::u16string small = DriveFolder("small");
  const std::u16string big = Utf8ToWide(DriveRoot("big") + kBrand + "/Download/");
  mgr->configFolder = small;
  mgr->tasks.push_back(std::make_unique<NuvTask>());
  mgr->tasks[0]->folder = u"/elsewhere/";

  mgr->packageSize = 500;  // fits exactly: nothing moves, the tasks still follow
  mgr->UpdateSaveFolder();
  EXPECT_EQ(mgr->configFolder, small);
  EXPECT_EQ(mgr->tasks[0]->folder, small);

  mgr->packageSize = 1000;
  mgr->UpdateSaveFolder();
  EXPECT_EQ(mgr->configFolder, big);
  EXPECT_EQ(mgr->tasks[0]->folder, big);
  EXPECT_TRUE(fs::is_directory(WideToUtf8(big)));
  EXPECT_TRUE(
      Logged("[WARN] update save folder, dir=[" + WideToUtf8(small) + "], disk_free_size=[500]"));

  mgr->packageSize = 6000;  // no drive has room: the folder stays
  mgr->UpdateSaveFolder();
  EXPECT_EQ(mgr->configFolder, big);
  EXPECT_EQ(mgr->tasks[0]->folder, big);
  EXPECT_TRUE(
      Logged("[WARN] update save folder, dir=[" + WideToUtf8(big) + "], disk_free_size=[5000]"));
  EXPECT_EQ(CountLogged("[ERROR] update save folder, not enough disk space."), 1);
}

TEST_F(DownloadPlanningTest, SpaceCheckForThePackageAndForTheInstallation) {
  struct Case {
    bool forInstall;
    const char* drive;
    uint64_t free;
    int64_t packageSize;
    bool enough;
    std::string logTail;  // after "free=[...], " of the warning; empty: no warning
  };
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  const int64_t huge = int64_t{1} << 61;  // five of them do not fit in 64 bits
  const Case cases[] = {
      {true, "pkg", 5 * kGiB, kGiB, true, ""},
      {true, "pkg", 5 * kGiB - 1, kGiB, false, "estimate=[" + std::to_string(5 * kGiB) + "]"},
      {true, "other", 4 * kGiB, kGiB, true, ""},
      {true, "other", 4 * kGiB - 1, kGiB, false, "estimate=[" + std::to_string(4 * kGiB) + "]"},
      {false, "pkg", kGiB, kGiB, true, ""},
      {false, "other", kGiB - 1, kGiB, false, "pkg_size=[" + std::to_string(kGiB) + "]"},
      {true, "pkg", 0, 0, true, ""},
      {true, "pkg", kMax, huge, false, "estimate=[" + std::to_string(kMax) + "]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.drive) + " " + std::to_string(c.free));
    UseDrives({{"sys", 10},
               {"pkg", c.drive == std::string("pkg") ? c.free : 1},
               {"other", c.drive == std::string("other") ? c.free : 1}},
              "sys");
    auto mgr = NewMgr();
    mgr->configFolder = DriveFolder("pkg");
    mgr->packageSize = c.packageSize;
    // The installation folder does not exist yet.
    const std::string folder = DriveRoot(c.drive) + "Apps/Demo";
    const size_t mark = LogText().size();
    EXPECT_EQ(mgr->CheckSpace(Utf8ToWide(folder), c.forInstall), c.enough);

    const std::string log = LogSince(mark);
    if (c.logTail.empty()) {
      EXPECT_EQ(log.find("check install space size failed"), std::string::npos) << log;
    } else {
      EXPECT_NE(log.find("[WARN] check install space size failed! dir=[" + folder + "], free=[" +
                         std::to_string(c.free) + "], " + c.logTail),
                std::string::npos)
          << log;
    }
  }
}

TEST_F(DownloadPlanningTest, SpaceOfAFolderNotCreatedYetIsItsDrives) {
  nuv::os::SetDriveProvider(
      nullptr);  // the real file systems: they can't be asked for a missing path
  auto mgr = NewMgr();
  mgr->configFolder = Utf8ToWide(Root());
  mgr->packageSize = 1;
  EXPECT_TRUE(mgr->CheckSpace(Utf8ToWide(Root() + "not/made/yet"), true));
  EXPECT_TRUE(mgr->CheckSpace(Utf8ToWide(Root() + "not/made/yet/"), false));
}

TEST_F(DownloadPlanningTest, ThirtyTwoBitSupportServerJudgesFirst) {
  struct Case {
    const char16_t* server;
    const char16_t* local;
    bool notSupported;
    const char* judge;
  };
  const Case cases[] = {
      {u"0", u"1", false, "server"}, {u"1", u"", true, "server"},    {u"", u"1", true, "local"},
      {u"", u"0", false, "local"},   {u"", u"true", false, "local"},  // only "1" says so
  };
  for (const Case& c : cases) {
    auto mgr = NewMgr();
    mgr->server.not_support_win32 = c.server;
    mgr->NotSupportWin32 = c.local;
    const size_t mark = LogText().size();
    EXPECT_EQ(mgr->IsNotSupportX86(), c.notSupported);
    const std::string log = LogSince(mark);
    EXPECT_NE(log.find("[INFO] IsNotSupportX86 local config = " + WideToUtf8(c.local)),
              std::string::npos);
    EXPECT_NE(log.find("[INFO] IsNotSupportX86 server config = " + WideToUtf8(c.server)),
              std::string::npos);
    EXPECT_NE(log.find("[INFO] IsNotSupportX86 use " + std::string(c.judge) + " judge"),
              std::string::npos);
  }
}

// The whole planning from a product document of the test's own and the server's runtime reply.
TEST_F(DownloadPlanningTest, PrepareDownPlansFromBothConfigurationsAndFindsAnInstalledCopy) {
  const std::u16string srv = Package("/srv86.run", 1234);
  platform_->SetRuntimeXml("4321",
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<vtrp><downloader><runtime><version>5.6.7</version>"
                           "<download_url>" +
                               WideToUtf8(srv) +
                               "</download_url>"
                               "<md5>ABC</md5></runtime></downloader></vtrp>");
  UseProductXml(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Product>"
      "<ProductBrand>NuvBrand</ProductBrand><ProductName>Demo</ProductName>"
      "<ProductExe>demo</ProductExe><SceneCode>sc</SceneCode>"
      "<ServerHost>" +
      server_.BaseUrl() +
      "/</ServerHost>"
      "<ProductID>4321</ProductID>"
      "<Downurl><Url_Down>" +
      WideToUtf8(kDeadUrl) +
      "</Url_Down></Downurl>"
      "<Dotnetminver>4.8</Dotnetminver><Dotneturl>http://127.0.0.1:9/ndp.exe</Dotneturl>"
      "</Product>");

  enum class Copy { None, BrandRecord, UninstallEntry };
  struct Case {
    Copy copy;
    const char* version;  // nullptr: no installed copy
  };
  const Case cases[] = {
      {Copy::None, nullptr}, {Copy::BrandRecord, "2.0"}, {Copy::UninstallEntry, "3.0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.copy));
    if (c.copy == Copy::BrandRecord) {
      const std::u16string key = u"Software\\NuvBrand\\Demo";
      PutRegistry(Hive::LocalMachine, View::Default, key, u"PID", RegValue::Dword(4321));
      PutRegistry(Hive::LocalMachine, View::Default, key, u"InstallInfo", RegValue::Sz(u"1"));
      PutRegistry(Hive::LocalMachine, View::Default, key, u"Version", RegValue::Sz(u"2.0"));
    } else if (c.copy == Copy::UninstallEntry) {
      RegistryStore().DeleteKey(Hive::LocalMachine, View::Default, u"Software\\NuvBrand\\Demo");
      const std::u16string key = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo";
      PutRegistry(Hive::LocalMachine, View::Bit64, key, u"PID", RegValue::Sz(u"4321"));
      PutRegistry(Hive::LocalMachine, View::Bit64, key, u"Version", RegValue::Sz(u"3.0"));
    }
    NuvMgr mgr(nullptr);
    ASSERT_TRUE(mgr.LoadLocalXml());
    const size_t mark = LogText().size();
    mgr.PrepareDown();
    const std::string log = LogSince(mark);

    EXPECT_LT(log.find("[INFO] PrepareDown"), log.find("[INFO] LoadServerXml, url=")) << log;
    EXPECT_EQ(mgr.retention.ProductVersion(), "5.6.7");
    // The framework is planned before the packages and follows the save folder like them.
    ASSERT_EQ(Ids(mgr), (std::vector<int32_t>{kDotnetTaskId, 4321}));
    EXPECT_EQ(mgr.tasks[0]->folder, mgr.configFolder);
    const NuvTask& main = *mgr.tasks[1];
    EXPECT_EQ(main.url, srv);
    EXPECT_EQ(main.expectedVersion, u"5.6.7");
    EXPECT_EQ(main.Md5List(), u"ABC,");
    EXPECT_EQ(main.productExe, u"demo");
    EXPECT_EQ(main.sceneCode, u"sc");
    EXPECT_EQ(mgr.packageSize, 1234);

    EXPECT_EQ(mgr.isFirstInstall, c.version == nullptr);
    const std::string line =
        "[INFO] pid=[4321] already install version=[" + std::string(c.version ? c.version : "");
    EXPECT_EQ(log.find(line) != std::string::npos, c.version != nullptr) << log;
  }
}

}  // namespace
