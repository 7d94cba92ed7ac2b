// Installer execution: the command line of each package type, the host information file of the
// fork instance, and real sample-setup packages run with their outcomes recorded.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "analytics/analytics_servers.h"
#include "analytics/common_properties.h"
#include "analytics/report_data_store.h"
#include "analytics/usage_tracker.h"
#include "engine/file_digest.h"
#include "platform/os/folders.h"
#include "platform/os/registry_store.h"
#include "platform/process_launch.h"
#include "platform/registry.h"
#include "service/json_reply.h"
#include "session/nuv_mgr.h"
#include "session/server_config.h"
#include "session/session_env.h"
#include "support/other_user.h"
#include "testbed/analytics_side.h"
#include "testbed/service_api_side.h"
#include "testbed/testbed.h"
#include "tools/sample-setup/package_format.h"
#include "xml/utf.h"

namespace {

using sample_setup::Settings;

std::u16string W(const std::string& s) {
  return Utf8ToWide(s);
}

std::string Utf16Bytes(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

class RecordingHandler : public NuvNotifyHandler {
 public:
  void OnFinished(NuvTask&, int32_t) override {}
  void OnDownloadProgress(int64_t, int64_t, int32_t, int32_t) override {}
  void OnInstall(NuvTask& task, int32_t code) override { installs.emplace_back(task.id, code); }
  std::vector<std::pair<int32_t, int32_t>> installs;
};

// The text as a regular expression that matches only itself.
std::string Literal(const std::string& text) {
  return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\/])"), R"(\$&)");
}

bool HasRemark(const std::string& fragment) {
  for (const std::string& r : GetReportDataStore().Snapshot().remarks1)
    if (r == fragment) return true;
  return false;
}

class InstallTaskTest : public SessionEnvTest {
 protected:
  void SetUp() override {
    SessionEnvTest::SetUp();
    std::filesystem::create_directories(Root() + "dl");
    mgr_.ProductBrand = u"Veltrin";
    mgr_.ProductName = u"Capturo";
    mgr_.ProductID = u"12345";
    mgr_.InstallPath = W(Root() + "apps/");
    mgr_.notifyHandler = &handler_;
  }

  NuvTask& AddTask(int32_t id, int32_t type, const std::u16string& name = u"Capturo") {
    auto task = std::make_unique<NuvTask>();
    task->id = id;
    task->type = type;
    task->productName = name;
    task->productExe = name;
    task->folder = W(Root() + "dl/");
    task->url = u"http://127.0.0.1:9/pkg/" + W(std::to_string(id)) + u".exe";
    mgr_.tasks.push_back(std::move(task));
    return *mgr_.tasks.back();
  }

  // A downloaded package of the sample setup with these settings at the task's save path.
  std::string GivePackage(NuvTask& task, const Settings& settings) {
    std::optional<std::string> bytes =
        sample_setup::BuildPackage(ReadWholeFile(SAMPLE_SETUP_PATH), settings);
    EXPECT_TRUE(bytes);
    const std::string path = Root() + "dl/" + std::to_string(task.id) + ".exe";
    WriteWholeFile(path, bytes.value_or(""));
    task.SetSavePath(W(path));
    // The plan's digest of it: a package runs only when its digest is known to match.
    task.SetMd5List(W(ns_NUK::FileMd5(path) + ","));
    task.downloadState = kStateSucceeded;
    return path;
  }
  static Settings ExitingWith(int code) {
    Settings s;
    s.Set("exit_code", std::to_string(code));
    s.Set("progress_step", "50");
    return s;
  }

  // The private temporary folder inside the sandbox's temporary folder.
  std::string Tmp() const { return nuv::os::TempFolder(); }
  std::string Apps() const { return Root() + "apps/"; }

  NuvMgr mgr_{nullptr};
  RecordingHandler handler_;
};

// ---------------------------------------------------------------- command lines

TEST_F(InstallTaskTest, MainProductCommandLineNamesLogFolderWindowAndId) {
  NuvTask& main = AddTask(12345, kTaskProduct);
  main.startupProduct = true;
  mgr_.mainWnd = 0x1A2B;
  mgr_.BuildInstallPara(u"en");

  const std::string folder = Apps() + "Veltrin/Capturo/";
  EXPECT_EQ(WideToUtf8(main.installCommandLine),
            "/VERYSILENT /NOPAGE /LANG=en /LOG=\"" + Tmp() + "NUV-12345.log\" /installpath: \"" +
                folder + "\" /DIR=\"" + folder + "\" /NUVWIN=1A2B /PID=12345");
  EXPECT_EQ(WideToUtf8(main.installFolder), folder);
  EXPECT_EQ(WideToUtf8(main.productPath), folder + "Capturo");
  EXPECT_EQ(WideToUtf8(GetReportDataStore().InstallerLogPath()), Tmp() + "NUV-12345.log");
  EXPECT_TRUE(Logged("[INFO] BuildInstallPara, product startup=[1]."));
}

TEST_F(InstallTaskTest, EveryTypeGetsItsOwnSwitches) {
  NuvTask& main = AddTask(12345, kTaskProduct);
  main.sceneCode = u"sc7";
  main.installArg = u"tok-main";
  NuvTask& helper = AddTask(222, kTaskDependent, u"Helper");
  helper.startupProduct = true;
  NuvTask& plain = AddTask(333, kTaskDependent, u"Plain");
  plain.installArg = u"tok-dep";
  NuvTask& dotnet = AddTask(kDotnetTaskId, kTaskDotnet, u".NET Framework");
  dotnet.installFolder = u"stale";
  mgr_.clipboardText = u"clip=1";
  mgr_.mainWnd = 0xBEEF;
  mgr_.BuildInstallPara(u"zh");

  // The main product follows the startup dependent into its folder.
  const std::string helperFolder = Apps() + "Veltrin/Helper/";
  EXPECT_EQ(WideToUtf8(main.installCommandLine),
            "/VERYSILENT /NOPAGE /LANG=zh /LOG=\"" + Tmp() + "NUV-12345.log\" /installpath: \"" +
                helperFolder + "\" /DIR=\"" + helperFolder +
                "\" /NUVWIN=BEEF /PID=12345 /SCENE_CODE=sc7 /TOKEN_PRODUCTINSTALL_ARG=tok-main "
                "clip=1");
  EXPECT_EQ(WideToUtf8(main.productPath), helperFolder + "Capturo");
  EXPECT_EQ(WideToUtf8(helper.installCommandLine),
            "/VERYSILENT /NOPAGE /LANG=zh /LOG=\"" + Tmp() +
                "NUV-222.log\" /NUVWIN=BEEF /PID=222 /installpath: \"" + helperFolder +
                "\" /DIR=\"" + helperFolder + "\"");
  EXPECT_EQ(WideToUtf8(helper.productPath), helperFolder + "Helper");
  EXPECT_EQ(WideToUtf8(plain.installCommandLine),
            "/VERYSILENT /NOPAGE /LANG=zh /LOG=\"" + Tmp() +
                "NUV-333.log\" /NUVWIN=BEEF /PID=333 /TOKEN_PRODUCTINSTALL_ARG=tok-dep");
  EXPECT_TRUE(plain.installFolder.empty());
  EXPECT_EQ(dotnet.installCommandLine, u"/VERYSILENT /NOPAGE ");
  EXPECT_TRUE(dotnet.installFolder.empty());
  // The last install argument in plan order is the run's token.
  EXPECT_EQ(analytics::GetCommonProperties().Get("token"), "tok-dep");
  EXPECT_TRUE(Logged("[INFO] BuildInstallPara dependent startup=[1]."));
  EXPECT_TRUE(Logged("[INFO] BuildInstallPara dependent arg."));
  EXPECT_TRUE(Logged("[INFO] BuildInstallPara product arg."));
  EXPECT_TRUE(Logged("[INFO] BuildInstallPara, common."));
}

TEST_F(InstallTaskTest, MainProductWithoutAnyStartupFolderKeepsItsOwnFolder) {
  // Main task is the companion's id and not the startup product, and no dependent is.
  NuvTask& main = AddTask(kCompanionTaskId, kTaskProduct);
  mgr_.InstallPath = W(Root() + "apps");  // no trailing separator
  mgr_.BuildInstallPara(u"en");
  const std::string folder = Apps() + "Veltrin/Capturo/";
  EXPECT_EQ(WideToUtf8(main.installFolder), folder);
  EXPECT_EQ(WideToUtf8(main.installCommandLine),
            "/VERYSILENT /NOPAGE /LANG=en /LOG=\"" + Tmp() + "NUV-10819.log\" /installpath: \"" +
                folder + "\" /DIR=\"" + folder + "\" /NUVWIN=0 /PID=10819 /NOTRUN");
}

TEST_F(InstallTaskTest, CompanionInForkModeGetsNotRunThenHostInfoPath) {
  NuvTask& companion = AddTask(kCompanionTaskId, kTaskDependent, u"Veltrin Motif Hub");
  companion.installArg = u"tok";
  const std::u16string interactivePrefix =
      u"/VERYSILENT /NOPAGE /LANG=en /LOG=\"" + W(Tmp()) + u"NUV-10819.log\" /NUVWIN=0 /PID=10819";

  mgr_.BuildInstallPara(u"en");
  EXPECT_EQ(companion.installCommandLine, interactivePrefix + u" /TOKEN_PRODUCTINSTALL_ARG=tok");

  mgr_.forkMode = true;
  mgr_.BuildInstallPara(u"en");
  const std::string line = WideToUtf8(companion.installCommandLine);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(
      line, m,
      std::regex(Literal(WideToUtf8(interactivePrefix)) +
                 R"re( /TOKEN_PRODUCTINSTALL_ARG=tok /NOTRUN /HOSTINFOPATH="([^"]+)")re")))
      << line;
  EXPECT_TRUE(std::filesystem::exists(m[1].str())) << m[1].str();
}

// ---------------------------------------------------------------- host information file

TEST_F(InstallTaskTest, HostInfoFileIsOneLineOfUtf16WithoutMark) {
  mgr_.hostVersion = u"2.1.0.7";
  mgr_.SelectLang = u"zh";
  const std::string path = WideToUtf8(mgr_.WriteHostInfoFile());
  EXPECT_TRUE(std::regex_match(path, std::regex(Literal(Tmp()) + R"(nuv_fork_mhb_\d{14}\.txt)")))
      << path;
  const std::string text =
      "{\"product_id\":\"12345\",\"prodcutver\":\"2.1.0.7\",\"nuvversion\":\"" +
      WideToUtf8(DownloaderVersion(true)) + "\",\"selectlang\":\"zh\"}";
  EXPECT_EQ(ReadWholeFile(path), Utf16Bytes(W(text)));
  EXPECT_TRUE(Logged("[INFO] host info path=[" + path + "]"));
  EXPECT_TRUE(Logged("[INFO] host info=[" + text + "]"));
}

TEST_F(InstallTaskTest, HostInfoValuesFromTheCommandLineCannotBreakTheDocument) {
  mgr_.hostVersion = u"1\"2\\3";
  mgr_.SelectLang = u"中文";
  const std::string bytes = ReadWholeFile(WideToUtf8(mgr_.WriteHostInfoFile()));
  std::u16string text(bytes.size() / 2, u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  JsonPtr doc = ParseJson(WideToUtf8(text));
  ASSERT_TRUE(doc);
  EXPECT_EQ(StringMemberOf(doc.get(), "prodcutver"), "1\"2\\3");
  EXPECT_EQ(StringMemberOf(doc.get(), "selectlang"), "中文");
}

TEST_F(InstallTaskTest, HostInfoFileThatCannotBeWrittenGivesNoPath) {
  ScopedEnv tmp("TMPDIR", Root() + "no/such/folder");
  EXPECT_TRUE(mgr_.WriteHostInfoFile().empty());
}

// ---------------------------------------------------------------- installer runs

TEST_F(InstallTaskTest, SuccessfulInstallerMarksTheTaskAndLeavesTheProductRecord) {
  NuvTask& main = AddTask(12345, kTaskProduct);
  main.startupProduct = true;
  main.compatLayer = u"WIN7RTM";
  mgr_.BuildInstallPara(u"en");
  Settings s;
  s.Set("version", "4.2.0.1");
  const std::string package = GivePackage(main, s);

  EXPECT_EQ(mgr_.InstallTask(kTaskProduct), std::make_pair(true, 1));
  EXPECT_EQ(main.installState.load(), kStateSucceeded);
  EXPECT_EQ(main.installCode.load(), 0);
  EXPECT_GT(main.installStart.load(), 0);
  EXPECT_GE(main.installEnd.load(), main.installStart.load());
  EXPECT_EQ(handler_.installs, (std::vector<std::pair<int32_t, int32_t>>{{12345, 0}}));
  EXPECT_TRUE(std::filesystem::exists(package));
  std::u16string version;
  EXPECT_TRUE(platform::GetInstalledVersion(u"Veltrin", 12345, version));
  EXPECT_EQ(version, u"4.2.0.1");
  EXPECT_EQ(platform::GetInstalledPath(u"Veltrin", 12345), main.installFolder);
  EXPECT_TRUE(std::filesystem::exists(WideToUtf8(main.productPath)));
  EXPECT_TRUE(Logged("[INFO] NuvMgr InstallTask pid: 12345"));
  EXPECT_TRUE(Logged("[INFO] NuvMgr InstallTask res: 0"));
  EXPECT_TRUE(Logged("[INFO] NuvMgr InstallTask: 1, 2, 1, 3, 3"));

  nuv::os::RegistryStore store;
  for (nuv::os::View view : {nuv::os::View::Bit64, nuv::os::View::Bit32}) {
    nuv::os::RegValue layer;
    ASSERT_TRUE(store.QueryValue(
        nuv::os::Hive::LocalMachine, view,
        u"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers\\", W(package),
        &layer));
    EXPECT_EQ(layer.text, u"WIN7RTM");
  }

  // Installed once: a second call runs nothing and still reports all done.
  EXPECT_EQ(mgr_.InstallTask(kTaskProduct), std::make_pair(true, 1));
  EXPECT_EQ(handler_.installs.size(), 1u);
}

TEST_F(InstallTaskTest, FailedInstallerKeepsOnlyAVerifiedPackage) {
  for (bool matched : {false, true}) {
    SCOPED_TRACE(matched ? "digest matched" : "digest not matched");
    const int32_t id = matched ? 501 : 502;
    mgr_.tasks.clear();
    handler_.installs.clear();
    NuvTask& task = AddTask(id, kTaskProduct);
    const std::string package = GivePackage(task, ExitingWith(5));
    if (matched) mgr_.OnMd5Matched(id);

    EXPECT_EQ(mgr_.InstallTask(kTaskProduct), std::make_pair(false, 1));
    EXPECT_EQ(task.installState.load(), kStateFailed);
    EXPECT_EQ(task.installCode.load(), 5);
    EXPECT_EQ(handler_.installs, (std::vector<std::pair<int32_t, int32_t>>{{id, 5}}));
    EXPECT_TRUE(HasRemark("{\"install_err_" + std::to_string(id) + "\":5}"));
    EXPECT_EQ(std::filesystem::exists(package), matched);
  }
}

// A package runs as root only when its bytes are vouched for (a digest that matched, or verified
// HTTPS when there is no digest) and its file is one nobody else can change.
TEST_F(InstallTaskTest, PackageRunsOnlyWhenItsBytesAndItsFileCanBeTrusted) {
  enum Prepare {
    kAsGiven,
    kEngineMatched,
    kNoDigest,
    kWrongDigest,
    kShortDigest,
    kLink,
    kOtherOwner,
    kSecondName
  };
  struct Case {
    const char* name;
    Prepare prepare;
    const char16_t* url;
    const char* refusal;  // null: it runs
  } cases[] = {
      {"digest of the plan matches", kAsGiven, u"http://h/p.run", nullptr},
      {"engine matched the digest", kEngineMatched, u"http://h/p.run", nullptr},
      {"no digest, verified https", kNoDigest, u"https://h/p.run", nullptr},
      {"no digest, plain http", kNoDigest, u"http://h/p.run", "no md5 and not https"},
      {"digest does not match", kWrongDigest, u"https://h/p.run", "md5 mismatch"},
      {"three-character digest", kShortDigest, u"http://h/p.run", "no md5 and not https"},
      {"link to a package of root's", kLink, u"https://h/p.run", "package file is not ours"},
      {"another user's package", kOtherOwner, u"https://h/p.run", "package file is not ours"},
      {"package with a second name", kSecondName, u"https://h/p.run", "package file is not ours"},
  };
  int32_t id = 600;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mgr_.tasks.clear();
    handler_.installs.clear();
    NuvTask& task = AddTask(++id, kTaskProduct);
    task.url = c.url;
    const std::string package = GivePackage(task, ExitingWith(0));
    const std::string real = package + ".real";
    switch (c.prepare) {
      case kAsGiven:
        break;
      case kEngineMatched:
        task.SetMd5List(u"");
        mgr_.OnMd5Matched(id);
        break;
      case kNoDigest:
        task.SetMd5List(u",");
        break;
      case kWrongDigest:
        task.SetMd5List(u"0123456789ABCDEF0123456789ABCDEF,");
        break;
      case kShortDigest:
        task.SetMd5List(u"abc");
        break;
      case kLink:
        std::filesystem::rename(package, real);
        std::filesystem::create_symlink(real, package);
        break;
      case kOtherOwner:
        ASSERT_TRUE(other_user::Give(package));
        break;
      case kSecondName:
        std::filesystem::create_hard_link(package, real);
        break;
    }

    mgr_.InstallTask(kTaskProduct);
    const int32_t code = c.refusal ? -1 : 0;
    EXPECT_EQ(handler_.installs, (std::vector<std::pair<int32_t, int32_t>>{{id, code}}));
    EXPECT_EQ(task.installState.load(), c.refusal ? kStateFailed : kStateSucceeded);
    if (c.refusal) {
      EXPECT_TRUE(
          HasRemark("{\"install_refused_" + std::to_string(id) + "\":\"" + c.refusal + "\"}"));
      EXPECT_TRUE(Logged("[ERROR] NuvMgr InstallTask refused pid: " + std::to_string(id) + ", " +
                         c.refusal));
    }
  }
}

TEST_F(InstallTaskTest, PackageThatCannotStartFailsWithMinusOne) {
  struct Case {
    const char* name;
    bool write;
  };
  for (const Case& c : {Case{"missing", false}, Case{"not a program", true}}) {
    SCOPED_TRACE(c.name);
    mgr_.tasks.clear();
    handler_.installs.clear();
    NuvTask& task = AddTask(12345, kTaskProduct);
    const std::string path = Root() + "dl/" + c.name + ".exe";
    if (c.write) WriteWholeFile(path, "not an installer\n");
    task.SetSavePath(W(path));
    task.SetMd5List(W(ns_NUK::FileMd5(path)));
    task.downloadState = kStateSucceeded;

    EXPECT_EQ(mgr_.InstallTask(kTaskProduct), std::make_pair(false, 1));
    EXPECT_EQ(task.installState.load(), kStateFailed);
    EXPECT_EQ(task.installCode.load(), -1);
    EXPECT_EQ(handler_.installs, (std::vector<std::pair<int32_t, int32_t>>{{12345, -1}}));
  }
  // The missing one is not even tried; the other one fails to start.
  EXPECT_TRUE(Logged("[ERROR] NuvMgr InstallTask refused pid: 12345, package file is not ours"));
  EXPECT_EQ(CountLogged("[ERROR] RunExe failed! err=["), 1);
}

TEST_F(InstallTaskTest, DotnetInstallerFailingOnItsSecondRetryCountsAsSuccess) {
  struct Case {
    int retries;
    int32_t state;
    int32_t reported;
  };
  for (const Case& c : {Case{1, kStateFailed, 5}, Case{2, kStateSucceeded, 0}}) {
    SCOPED_TRACE(c.retries);
    mgr_.tasks.clear();
    handler_.installs.clear();
    NuvTask& dotnet = AddTask(kDotnetTaskId, kTaskDotnet, u".NET Framework");
    dotnet.installRetries = c.retries;
    const std::string package = GivePackage(dotnet, ExitingWith(5));

    EXPECT_EQ(mgr_.InstallTask(kTaskDotnet), std::make_pair(c.state == kStateSucceeded, 1));
    EXPECT_EQ(dotnet.installState.load(), c.state);
    EXPECT_EQ(dotnet.installCode.load(), 5);
    EXPECT_EQ(handler_.installs,
              (std::vector<std::pair<int32_t, int32_t>>{{kDotnetTaskId, c.reported}}));
    EXPECT_EQ(std::filesystem::exists(package), c.state == kStateSucceeded);
  }
  EXPECT_TRUE(HasRemark("{\"install_err_9876\":5}"));
}

TEST_F(InstallTaskTest, OptionalDependentThatFailedStillCountsAsDone) {
  struct Case {
    const char* name;
    bool force;
    bool downloaded;  // else the download failed
    bool allDone;
  };
  const Case cases[] = {
      {"optional, download failed", false, false, true},
      {"optional, installer failed", false, true, true},
      {"forced, download failed", true, false, false},
      {"forced, installer failed", true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mgr_.tasks.clear();
    NuvTask& ok = AddTask(700, kTaskDependent, u"Fine");
    GivePackage(ok, ExitingWith(0));
    NuvTask& dep = AddTask(701, kTaskDependent, u"Shaky");
    dep.forceInstall = c.force;
    if (c.downloaded) {
      GivePackage(dep, ExitingWith(7));
    } else {
      dep.downloadState = kStateFailed;
    }
    EXPECT_EQ(mgr_.InstallTask(kTaskDependent), std::make_pair(c.allDone, 2));
    EXPECT_EQ(ok.installState.load(), kStateSucceeded);
    EXPECT_EQ(dep.installState.load(), c.downloaded ? kStateFailed : kStateNone);
  }
}

// ---------------------------------------------------------------- .NET Framework

class DotnetTaskTest : public InstallTaskTest {
 protected:
  void SetUp() override {
    InstallTaskTest::SetUp();
    std::filesystem::create_directories(Root() + "cfg");
    mgr_.configFolder = W(Root() + "cfg/");
    mgr_.Dotneturl = u"http://127.0.0.1:9/netfx.exe";
  }
  void InstallFamily(const std::u16string& subKey, const std::u16string& version) {
    const std::u16string key = u"Software\\Microsoft\\NET Framework Setup\\NDP\\" + subKey;
    nuv::os::RegistryStore store;
    ASSERT_TRUE(store.CreateKey(nuv::os::Hive::LocalMachine, nuv::os::View::Default, key));
    ASSERT_TRUE(store.SetValue(nuv::os::Hive::LocalMachine, nuv::os::View::Default, key, u"Install",
                               nuv::os::RegValue::Dword(1)));
    ASSERT_TRUE(store.SetValue(nuv::os::Hive::LocalMachine, nuv::os::View::Default, key, u"Version",
                               nuv::os::RegValue::Sz(version)));
  }
};

TEST_F(DotnetTaskTest, CheckAsksTheRegistryForTheMinimumVersion) {
  mgr_.Dotnetminver = u"";
  EXPECT_TRUE(mgr_.CheckDotnet());  // nothing required
  mgr_.Dotnetminver = u"4.6";
  EXPECT_FALSE(mgr_.CheckDotnet());
  InstallFamily(u"v4\\Full", u"4.8.04084");
  EXPECT_TRUE(mgr_.CheckDotnet());
}

TEST_F(DotnetTaskTest, VersionTwoIsDecidedByTheEmbeddedChecker) {
  // The registry alone would say yes; only the checker's run counts.
  InstallFamily(u"v3.5", u"3.5.30729.4926");
  mgr_.Dotnetminver = u"2.0";
  EXPECT_TRUE(mgr_.CheckDotnet());
  EXPECT_FALSE(std::filesystem::exists(Root() + "cfg/NFWCHK.exe"));
  EXPECT_FALSE(std::filesystem::exists(Root() + "cfg/NFWCHK.exe.config"));

  mgr_.configFolder = W(Root() + "no/such/folder/");
  EXPECT_FALSE(mgr_.CheckDotnet());

  mgr_.configFolder = W(Root() + "cfg/");
  UseResource("nfwchk.missing", "");
  EXPECT_FALSE(mgr_.CheckDotnet());
}

TEST_F(DotnetTaskTest, TaskIsAppendedOnceWithTheFrameworkValues) {
  AddTask(12345, kTaskProduct);
  mgr_.Dotnetminver = u"4.6";
  mgr_.AddDotnetTask();
  mgr_.AddDotnetTask();
  ASSERT_EQ(mgr_.tasks.size(), 2u);
  const NuvTask& task = *mgr_.tasks.back();
  EXPECT_EQ(task.id, kDotnetTaskId);
  EXPECT_EQ(task.type, kTaskDotnet);
  EXPECT_EQ(task.folder, W(Root() + "cfg/"));
  EXPECT_EQ(task.url, u"http://127.0.0.1:9/netfx.exe");
  EXPECT_EQ(task.productName, u".NET Framework");
  EXPECT_FALSE(task.startupProduct);
  EXPECT_EQ(analytics::GetCommonProperties().Get("dotnetver"), "4.6");
}

// ---------------------------------------------------------------- error report

class InstallErrorReportTest : public InstallTaskTest {
 protected:
  void SetUp() override {
    InstallTaskTest::SetUp();
    api_ = std::make_shared<testbed::ServiceApiSide>();
    server_.AddSide(api_);
    ASSERT_TRUE(server_.Start());
    savedHosts_ = GetApiHosts();
    SetApiHosts({server_.BaseUrl(), server_.BaseUrl()});
  }
  void TearDown() override {
    SetApiHosts(savedHosts_);
    server_.Stop();
    InstallTaskTest::TearDown();
  }
  size_t Reports() const {
    size_t n = 0;
    for (const auto& r : server_.Requests())
      if (r.path == testbed::ServiceApiSide::kLogReportPath) ++n;
    return n;
  }

  testbed::Server server_;
  std::shared_ptr<testbed::ServiceApiSide> api_;

 private:
  ApiHosts savedHosts_;
};

TEST_F(InstallErrorReportTest, SameInstallerFailureTwiceSendsOneReportWithTheInstallerLog) {
  NuvTask& main = AddTask(12345, kTaskProduct);
  main.startupProduct = true;
  mgr_.BuildInstallPara(u"en");
  for (int run = 0; run < 2; ++run) {
    main.installState = kStateNone;
    main.installRetries = run;
    GivePackage(main, ExitingWith(5));
    EXPECT_EQ(mgr_.InstallTask(kTaskProduct), std::make_pair(false, 1));
  }
  EXPECT_EQ(Reports(), 1u);
  EXPECT_EQ(CountLogged("[INFO] auto report error log, remark=[install err=5]."), 1);
  std::string body;
  for (const auto& r : server_.Requests())
    if (r.path == testbed::ServiceApiSide::kLogReportPath) body = r.body;
  EXPECT_NE(body.find("\"remark\":\"install err=5\""), std::string::npos) << body;
  // The sample setup's own log (the /LOG= of its command line) went up with it.
  bool installerLog = false;
  for (const auto& u : api_->Uploads())
    installerLog |= u.content.find("Exit code 5") != std::string::npos;
  EXPECT_TRUE(installerLog);
}

// ---------------------------------------------------------------- analytics events

// The process's own tracker, pointed once at a loopback collector.
class InstallEventsTest : public InstallTaskTest {
 protected:
  void SetUp() override {
    InstallTaskTest::SetUp();
    collector_ = std::make_shared<testbed::AnalyticsSide>();
    server_.AddSide(collector_);
    ASSERT_TRUE(server_.Start());
    if (analytics::GetUsageTracker().Initialized())
      GTEST_SKIP() << "this process's tracker already reports to another collector";
    analytics::GetUsageTracker().Init({server_.BaseUrl() + "/sa?project=UA_Nuv_Web"},
                                      "install-test", analytics::kTrackerTid);
    initialized_ = true;
  }
  void TearDown() override {
    // The sending thread logs into this sandbox and stages into its temporary folder: it ends
    // here, while the collector still answers, not after the sandbox is gone.
    if (initialized_) analytics::GetUsageTracker().Stop();
    server_.Stop();
    InstallTaskTest::TearDown();
  }

  // The records from the first one whose "domain" is that host on, once count of them arrived:
  // events that earlier tests of the process raised go out first.
  std::vector<JsonPtr> WaitForRecordsFrom(const std::string& domain, size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      std::vector<JsonPtr> found;
      const std::vector<std::string> records = collector_->Records();
      for (const std::string& text : records) {
        JsonPtr record = ParseJson(text);
        if (found.empty() &&
            StringMemberOf(MemberOf(record.get(), "properties"), "domain") != domain)
          continue;
        found.push_back(std::move(record));
      }
      const auto now = std::chrono::steady_clock::now();
      if (found.size() >= count || now >= deadline) return found;
      collector_->WaitForRecords(
          records.size() + 1,
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
    }
  }
  static std::string Text(const JsonPtr& record, const char* name) {
    return StringMemberOf(MemberOf(record.get(), "properties"), name);
  }
  static int64_t Number(const JsonPtr& record, const char* name) {
    const cJSON* item = MemberOf(MemberOf(record.get(), "properties"), name);
    return cJSON_IsNumber(item) ? static_cast<int64_t>(item->valuedouble) : -1;
  }

  testbed::Server server_;
  std::shared_ptr<testbed::AnalyticsSide> collector_;
  bool initialized_ = false;  // this test pointed the process's tracker at its collector
};

TEST_F(InstallEventsTest, FirstInstallationReportsTheDownloadThenTheInstallerRuns) {
  NuvTask& main = AddTask(12345, kTaskProduct);
  main.startupProduct = true;
  main.url = u"http://dl.example.test:8080/pkg/capturo.exe";
  main.downloadStart = 1000;
  main.downloadEnd = 1010;
  main.total = 50000;
  main.downloadRetries = 1;
  main.connections = 4;
  main.bufferSize = 65536;
  mgr_.resumeDownload = true;
  mgr_.BuildInstallPara(u"en");
  GivePackage(main, ExitingWith(0));
  ASSERT_EQ(mgr_.InstallTask(kTaskProduct), std::make_pair(true, 1));
  // A retry of the installation reports only its own end.
  main.installState = kStateNone;
  main.installRetries = 1;
  ASSERT_EQ(mgr_.InstallTask(kTaskProduct), std::make_pair(true, 1));

  std::vector<JsonPtr> events = WaitForRecordsFrom("dl.example.test:8080", 4);
  ASSERT_EQ(events.size(), 4u);
  std::vector<std::string> order;
  for (const JsonPtr& e : events)
    order.push_back(StringMemberOf(e.get(), "event") + " " + Text(e, "state"));
  EXPECT_EQ(order,
            (std::vector<std::string>{"downloader_download finish", "downloader_install begin",
                                      "downloader_install finish", "downloader_install finish"}));

  const JsonPtr& download = events[0];
  EXPECT_EQ(Text(download, "type"), "product");
  const std::pair<const char*, int64_t> numbers[] = {
      {"resumedown", 1}, {"times", 2},  {"speed", 5000},  {"duration", 10},
      {"error_code", 0}, {"thread", 4}, {"buffer", 65536}};
  for (const auto& [name, value] : numbers) EXPECT_EQ(Number(download, name), value) << name;

  EXPECT_EQ(Text(events[1], "type"), "product");
  EXPECT_EQ(Number(events[1], "times"), 1);
  EXPECT_EQ(Number(events[1], "duration"), 0);
  for (size_t i = 2; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Text(events[i], "type"), "product");
    EXPECT_EQ(Number(events[i], "times"), static_cast<int64_t>(i - 1));
    EXPECT_EQ(Number(events[i], "error_code"), 0);
    const int64_t duration = Number(events[i], "duration");
    EXPECT_GE(duration, 0);
    EXPECT_EQ(Number(events[i], "speed"), duration > 0 ? 50000 / duration : 0);
  }
}

}  // namespace
