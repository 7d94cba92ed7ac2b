// Starting the installed product and the companion, and the follow-up pages: every launch is a
// real process (a recording script) found through the real registry store.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analytics/common_properties.h"
#include "platform/browser_lookup.h"
#include "platform/os/registry_store.h"
#include "session/nuv_mgr.h"
#include "session/server_config.h"
#include "session/session_env.h"
#include "xml/utf.h"

namespace {

using nuv::os::Hive;
using nuv::os::RegistryStore;
using nuv::os::RegValue;
using nuv::os::View;

constexpr char16_t kAppPaths[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr char16_t kOperaCommand[] =
    u"Software\\Classes\\Applications\\opera.exe\\shell\\open\\command";

class ProductLaunchTest : public SessionEnvTest {
 protected:
  void SetUp() override {
    SessionEnvTest::SetUp();
    std::filesystem::create_directories(dir_.Path() + "bin");
    // Whatever a test does, the desktop's own handler never runs: ours records instead.
    xdgOpen_ = Recorder("xdg-open");
    const char* path = getenv("PATH");
    pathEnv_ = std::make_unique<ScopedEnv>(
        "PATH", dir_.Path() + "bin" + (path ? std::string(":") + path : std::string()));
  }

  // A program that appends "<working folder>|<arg>|<arg>..." as one line to <name>.rec.
  std::string Recorder(const std::string& name) {
    const std::string program = dir_.Path() + "bin/" + name;
    WriteWholeFile(program,
                   "#!/bin/sh\nline=\"$(pwd -P)\"\nfor a in \"$@\"; do line=\"$line|$a\"; "
                   "done\nprintf '%s\\n' \"$line\" >> '" +
                       RecordFile(name) + "'\n");
    chmod(program.c_str(), 0755);
    return program;
  }
  std::string RecordFile(const std::string& name) const { return dir_.Path() + name + ".rec"; }

  // The recorded lines once there are at least count of them, or what there is at the deadline.
  std::vector<std::string> WaitForRecords(const std::string& name, size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::vector<std::string> lines;
    for (;;) {
      lines.clear();
      std::istringstream in(ReadWholeFile(RecordFile(name)));
      for (std::string line; std::getline(in, line);) lines.push_back(line);
      if (lines.size() >= count || std::chrono::steady_clock::now() > deadline) return lines;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  // The arguments of a recorded line, without its working folder.
  static std::string Args(const std::string& line) {
    const size_t bar = line.find('|');
    return bar == std::string::npos ? std::string() : line.substr(bar);
  }
  static bool HasArgs(const std::vector<std::string>& lines, const std::string& args) {
    for (const std::string& line : lines)
      if (Args(line) == args) return true;
    return false;
  }

  static void SetDefault(Hive hive, View view, const std::u16string& key, const std::string& text) {
    const RegistryStore store;
    ASSERT_TRUE(store.CreateKey(hive, view, key));
    ASSERT_TRUE(store.SetValue(hive, view, key, u"", RegValue::Sz(Utf8ToWide(text))));
  }
  static void RegisterAppPath(const std::u16string& exe, const std::string& program,
                              View view = View::Default) {
    SetDefault(Hive::LocalMachine, view, kAppPaths + exe, program);
  }

  NuvTask& AddTask(NuvMgr& mgr, int32_t id, int32_t type) {
    auto task = std::make_unique<NuvTask>();
    task->id = id;
    task->type = type;
    mgr.tasks.push_back(std::move(task));
    return *mgr.tasks.back();
  }

  std::string xdgOpen_;

 private:
  std::unique_ptr<ScopedEnv> pathEnv_;
};

TEST_F(ProductLaunchTest, StartProductRunsTheProductInItsFolderWithItsArgument) {
  const struct {
    std::u16string arg;
    std::string recordedArgs;
  } cases[] = {
      {u"", ""},  // the desktop's way of starting it: no parameters
      {u"-mode \"a b\"", "|-mode|a b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.arg));
    std::filesystem::remove(RecordFile("product"));
    const std::string folder = dir_.Path() + "install";
    std::filesystem::create_directories(folder);
    NuvMgr mgr(nullptr);
    mgr.StartupProduct = u"1234";
    AddTask(mgr, 77, kTaskProduct);
    NuvTask& task = AddTask(mgr, 1234, kTaskProduct);
    task.productPath = Utf8ToWide(Recorder("product"));
    task.productArg = c.arg;
    task.installFolder = Utf8ToWide(folder);

    EXPECT_TRUE(mgr.StartProduct());
    const std::vector<std::string> lines = WaitForRecords("product", 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], std::filesystem::canonical(folder).string() + c.recordedArgs);
    EXPECT_TRUE(Logged("[INFO] startup ret=[42]:\n product=[" + WideToUtf8(task.productPath) +
                       "] \n arg=[" + WideToUtf8(c.arg) + "] \n dir=[" + folder + "]"));
    EXPECT_EQ(analytics::GetCommonProperties().Get("prodstartcode"), "42");
  }
}

TEST_F(ProductLaunchTest, StartProductWithoutItsTaskOrWithAMissingProgramFails) {
  NuvMgr mgr(nullptr);
  mgr.StartupProduct = u"1234";
  AddTask(mgr, 99, kTaskProduct).productPath = Utf8ToWide(Recorder("product"));
  EXPECT_FALSE(mgr.StartProduct());
  EXPECT_FALSE(Logged("startup ret="));

  NuvTask& task = AddTask(mgr, 1234, kTaskProduct);
  task.productPath = Utf8ToWide(dir_.Path() + "missing/product");
  EXPECT_FALSE(mgr.StartProduct());
  EXPECT_TRUE(Logged("[INFO] startup ret=[2]:"));
  EXPECT_EQ(analytics::GetCommonProperties().Get("prodstartcode"), "2");
}

TEST_F(ProductLaunchTest, StartCompanionTakesTheRegisteredProgram) {
  const std::string companion = Recorder("companion");
  const RegistryStore store;
  const std::u16string key = u"Software\\Veltrin\\Veltrin Motif Hub";
  // The 64-bit record names a file that is gone; the 32-bit one is the program.
  ASSERT_TRUE(store.CreateKey(Hive::LocalMachine, View::Bit64, key));
  ASSERT_TRUE(store.SetValue(Hive::LocalMachine, View::Bit64, key, u"InstallName",
                             RegValue::Sz(Utf8ToWide(dir_.Path() + "gone"))));
  ASSERT_TRUE(store.CreateKey(Hive::LocalMachine, View::Bit32, key));
  ASSERT_TRUE(store.SetValue(Hive::LocalMachine, View::Bit32, key, u"InstallName",
                             RegValue::Sz(Utf8ToWide(companion))));
  NuvMgr mgr(nullptr);
  mgr.StartCompanion();
  const std::vector<std::string> lines = WaitForRecords("companion", 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Args(lines[0]), "|-startmodel:floatmode");
  EXPECT_TRUE(Logged("[INFO] startup mhb ret=[42]:\n product=[" + companion +
                     "] \n arg=[-startmodel:floatmode]"));
  EXPECT_EQ(analytics::GetCommonProperties().Get("prodstartcode"), "42");
}

TEST(PageAddressTest, ValidAddressRule) {
  const struct {
    std::u16string url;
    bool valid;
  } cases[] = {
      {u"http://a", true},   {u"http://", false},         {u"https://", false},
      {u"https://a", true},  {u" h t t p://a ", true},    {u"ftp://a.example", false},
      {u"HTTP://a", false},  {u"http:/ /a", true},        {u"", false},
      {u"https:// ", false}, {u"www.example.com", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NuvMgr::IsValidPageUrl(c.url), c.valid) << WideToUtf8(c.url);
}

TEST_F(ProductLaunchTest, FollowUpQueryNamesWhoInstalledWhat) {
  const RegistryStore store;
  const std::u16string signKey = u"Software\\Veltrin\\Veltrin Helper Compact\\";
  ASSERT_TRUE(store.CreateKey(Hive::CurrentUser, View::Default, signKey));
  ASSERT_TRUE(store.SetValue(Hive::CurrentUser, View::Default, signKey, u"ClientSign",
                             RegValue::Sz(u"{sign-1G}")));
  NuvMgr mgr(nullptr);
  mgr.ProductBrand = u"Veltrin";
  mgr.ProductID = u"1234";
  mgr.SceneCode = u"sc9";
  mgr.server.version = u"5.0";
  const std::string head = "client_sign={sign-1G}&m_nProductID=1234&installtime=";
  const std::string tail =
      "&nuv_version=" + WideToUtf8(DownloaderVersion(true)) + "&scene_code=sc9";

  auto versionIn = [&](const std::u16string& query) {
    const std::string q = WideToUtf8(query);
    EXPECT_EQ(q.rfind(head, 0), 0u) << q;
    const size_t at = q.find("&product_version=");
    const size_t end = q.find("&nuv_version=");
    if (at == std::string::npos || end == std::string::npos) return std::string("?");
    EXPECT_EQ(q.substr(end), tail);
    const long long when = std::stoll(q.substr(head.size(), at - head.size()));
    EXPECT_LE(std::llabs(when - static_cast<long long>(std::time(nullptr))), 5);
    return q.substr(at + 17, end - at - 17);
  };

  EXPECT_EQ(versionIn(mgr.FollowUpQuery()), "5.0");  // no product task: the server's version
  AddTask(mgr, 1, kTaskDependent).SetPackageVersion(u"9.9");
  AddTask(mgr, 1234, kTaskProduct).SetPackageVersion(u"2.1.0");
  EXPECT_EQ(versionIn(mgr.FollowUpQuery()), "2.1.0");
  mgr.forkMode = true;  // the fork instance installs the dependents
  EXPECT_EQ(versionIn(mgr.FollowUpQuery()), "9.9");
}

TEST_F(ProductLaunchTest, FollowUpPagesOpenEveryValidJumpPageThenTheThankYouPage) {
  RegisterAppPath(u"chrome.exe", Recorder("chrome"));
  NuvMgr mgr(nullptr);
  mgr.ProductID = u"1234";
  mgr.Url_Jump = u"http://local.example/ignored";
  mgr.server.Url_Jump = u"http://a.example/x;not a url;;https://b.example/y?k=1";
  mgr.InstallurlUrlInstall = u"https://t.example/done?from=nuv";
  const std::string q = WideToUtf8(mgr.FollowUpQuery());
  const std::string stamp = "&installtime=";
  const std::string base = q.substr(0, q.find(stamp));

  EXPECT_TRUE(mgr.OpenFollowUpPages());
  const std::vector<std::string> lines = WaitForRecords("chrome", 3);
  ASSERT_EQ(lines.size(), 3u);
  for (const char* prefix :
       {"|http://a.example/x?", "|https://b.example/y?k=1&", "|https://t.example/done?from=nuv&"}) {
    bool found = false;
    for (const std::string& line : lines)
      found = found || Args(line).rfind(std::string(prefix) + base + stamp, 0) == 0;
    EXPECT_TRUE(found) << prefix;
  }
  EXPECT_EQ(CountLogged("[WARN] jump url=[not a url] is invalid."), 1);
  EXPECT_EQ(CountLogged("[WARN] jump url="), 1);
  EXPECT_EQ(CountLogged("[INFO] priority browser open url=["), 3);
  EXPECT_EQ(analytics::GetCommonProperties().Get("installpageopencode"), "42");
  EXPECT_FALSE(analytics::GetCommonProperties().Get("installpageopentime").empty());
}

TEST_F(ProductLaunchTest, MissingOrInvalidThankYouPageAnswersFalse) {
  RegisterAppPath(u"chrome.exe", Recorder("chrome"));
  NuvMgr mgr(nullptr);
  EXPECT_FALSE(mgr.OpenFollowUpPages());
  mgr.InstallurlUrlInstall = u"done.html";
  EXPECT_FALSE(mgr.OpenFollowUpPages());
  EXPECT_EQ(CountLogged("[WARN] thanks url=[done.html] is invalid."), 1);
  EXPECT_FALSE(Logged("browser open url="));
}

TEST_F(ProductLaunchTest, PreferredBrowserOrder) {
  const std::string chrome = Recorder("chrome");
  const std::string firefox = Recorder("firefox");
  const std::string safari = Recorder("safari");
  const std::string opera = Recorder("opera");
  const std::string gone = dir_.Path() + "bin/gone";
  const std::string plainFile = dir_.Path() + "plain";
  WriteWholeFile(plainFile, "not a program");

  struct Case {
    const char* name;
    std::vector<std::pair<std::u16string, std::string>> appPaths;
    std::string operaCommand;  // empty: none registered
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"chrome first",
       {{u"Safari.exe", safari}, {u"firefox.exe", firefox}, {u"chrome.exe", chrome}},
       "\"" + opera + "\" \"%1\"",
       chrome},
      {"missing chrome skipped", {{u"chrome.exe", gone}, {u"firefox.exe", firefox}}, "", firefox},
      {"a file that is no program skipped",
       {{u"chrome.exe", plainFile}, {u"Safari.exe", safari}},
       "",
       safari},
      {"opera's quoted command", {}, "\"" + opera + "\" -- \"%1\"", opera},
      {"opera's command names a missing program", {}, "\"" + gone + "\" \"%1\"", ""},
      {"nothing registered", {}, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RegistryStore store;
    store.DeleteKey(Hive::LocalMachine, View::Default, u"SOFTWARE\\Microsoft");
    store.DeleteKey(Hive::LocalMachine, View::Default, u"Software\\Classes");
    for (const auto& [exe, program] : c.appPaths) RegisterAppPath(exe, program);
    if (!c.operaCommand.empty())
      SetDefault(Hive::LocalMachine, View::Default, kOperaCommand, c.operaCommand);
    EXPECT_EQ(WideToUtf8(platform::FindPreferredBrowser()), c.expected);
  }
}

TEST_F(ProductLaunchTest, OpenPageUsesOperaWhenNoOtherBrowserIsRegistered) {
  SetDefault(Hive::LocalMachine, View::Default, kOperaCommand,
             "\"" + Recorder("opera") + "\" \"%1\"");
  NuvMgr mgr(nullptr);
  EXPECT_TRUE(mgr.OpenPage(u"https://licence.example/", false));
  const std::vector<std::string> lines = WaitForRecords("opera", 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Args(lines[0]), "|https://licence.example/");
  EXPECT_TRUE(Logged("[INFO] priority browser open url=[https://licence.example/], ret=[42]."));
}

TEST_F(ProductLaunchTest, WithoutABrowserTheDesktopHandlerOpensThePage) {
  NuvMgr mgr(nullptr);
  EXPECT_TRUE(mgr.OpenPage(u"https://t.example/done", true));
  const std::vector<std::string> lines = WaitForRecords("xdg-open", 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Args(lines[0]), "|https://t.example/done");
  EXPECT_TRUE(Logged("[INFO] browser open url=[https://t.example/done], ret=[42]."));
  EXPECT_EQ(analytics::GetCommonProperties().Get("installpageopencode"), "42");

  // No handler at all: the shell's failure code, answered as false.
  std::filesystem::remove(xdgOpen_);
  ScopedEnv noPath("PATH", dir_.Path() + "bin");
  EXPECT_FALSE(mgr.OpenPage(u"https://t.example/again", false));
  EXPECT_TRUE(Logged("[INFO] browser open url=[https://t.example/again], ret=[31]."));
}

TEST_F(ProductLaunchTest, AnAddressReachesTheBrowserAsOneArgumentAndNeverAsASwitch) {
  RegisterAppPath(u"chrome.exe", Recorder("chrome"));
  NuvMgr mgr(nullptr);
  const std::string tricky = "http://a.example/p?q=\"x y\" --incognito";
  EXPECT_TRUE(mgr.OpenPage(Utf8ToWide(tricky), false));
  const std::vector<std::string> lines = WaitForRecords("chrome", 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Args(lines[0]), "|" + tricky);

  EXPECT_FALSE(mgr.OpenPage(u" --gpu-launcher=/bin/false", false));
  EXPECT_TRUE(Logged("[INFO] browser open url=[ --gpu-launcher=/bin/false], ret=[2]."));
  // Refused before any launch, so the record is final already.
  EXPECT_EQ(WaitForRecords("chrome", 1).size(), 1u);
}

TEST_F(ProductLaunchTest, PackagePageAsksForTheRetryDownload) {
  NuvMgr mgr(nullptr);
  mgr.StartupProduct = u"1234";
  EXPECT_FALSE(mgr.OpenPackagePage());  // no task: nothing opened
  EXPECT_FALSE(Logged("browser open url="));

  AddTask(mgr, 1234, kTaskProduct).url = u"https://dl.example/cbs_down/setup_cbs_down.exe";
  EXPECT_TRUE(mgr.OpenPackagePage());
  const std::vector<std::string> lines = WaitForRecords("xdg-open", 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Args(lines[0]), "|https://dl.example/retry/setup_retry.exe");
  EXPECT_EQ(analytics::GetCommonProperties().Get("browserdown"), "1");
}

TEST_F(ProductLaunchTest, InstallErrorPageOpensTheEffectivePage) {
  NuvMgr mgr(nullptr);
  EXPECT_FALSE(mgr.OpenInstallErrorPage());
  EXPECT_FALSE(Logged("browser open url="));

  mgr.InstallErrorUrl = u"https://help.example/local";
  mgr.server.install_error_url = u"https://help.example/server";
  EXPECT_TRUE(mgr.OpenInstallErrorPage());
  const std::vector<std::string> lines = WaitForRecords("xdg-open", 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Args(lines[0]), "|https://help.example/server");
}

}  // namespace
