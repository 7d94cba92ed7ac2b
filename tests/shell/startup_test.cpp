#include "shell/startup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "log/log_folder.h"
#include "platform/os/admin.h"
#include "platform/os/instance_lock.h"
#include "platform/os/window_socket.h"
#include "session/nuv_mgr.h"
#include "shell/command_line.h"
#include "shell/window_startup.h"
#include "support/temp_dir.h"
#include "xml/utf.h"

namespace {

// The test process keeps its own fault handling (and its sanitizer's reports).
StartupHooks NoCrashHandler() {
  StartupHooks hooks;
  hooks.installCrashHandler = false;
  return hooks;
}

// Every run gets its own temporary, lock, registry and system folders, no display, and the
// shipped resources with the loopback endpoints.
class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.File("lock"));
    std::filesystem::create_directories(dir_.File("root/var/lib"));
    std::filesystem::create_directories(dir_.File("root/opt"));
    std::filesystem::create_directories(dir_.File("res"));
    std::filesystem::copy_file(
        std::string(NUV_SOURCE_DIR) + "/tests/fixtures/loopback/endpoints.xml",
        dir_.File("res/endpoints.xml"));
    Set("TMPDIR", dir_.Path());
    Set("NUV_LOCK_DIR", dir_.File("lock"));
    Set("NUV_REGISTRY_DIR", dir_.File("reg"));
    Set("NUV_ROOT_PREFIX", dir_.File("root"));
    Set("NUV_RESOURCE_DIR", dir_.File("res"));
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    nuv::os::SetAdministratorOverride(true);
  }
  void TearDown() override {
    nuv::os::SetAdministratorOverride(std::nullopt);
    for (const char* name : {"TMPDIR", "NUV_LOCK_DIR", "NUV_REGISTRY_DIR", "NUV_ROOT_PREFIX"})
      unsetenv(name);
    setenv("NUV_RESOURCE_DIR", (std::string(NUV_SOURCE_DIR) + "/tests/fixtures/loopback").c_str(),
           1);
  }
  void Set(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

  int Run(const std::vector<std::string>& args, std::string* errOut = nullptr) {
    testing::internal::CaptureStderr();
    int code = RunStartup(args, mgr_, NoCrashHandler());
    std::string err = testing::internal::GetCapturedStderr();
    if (errOut) *errOut = err;
    return code;
  }
  std::string Log(const char* name = "vtNUV.log") {
    return ReadWholeFile(DefaultLogFolder() + name);
  }
  void MarkMissing(const char* resourceFile) {
    WriteWholeFile(dir_.File(std::string("res/") + resourceFile + ".missing"), "");
  }

  TempDir dir_;
  NuvMgr mgr_;
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(StartupTest, InteractiveRunWithoutArgumentsEndsNormally) {
  std::string err;
  EXPECT_EQ(Run({}, &err), 0);
  EXPECT_TRUE(err.empty()) << err;
  std::string log = Log();
  EXPECT_TRUE(Contains(log, "[INFO] start, fork=[0]."));
  EXPECT_TRUE(Contains(log, "[INFO] LoadLocalXml"));
  EXPECT_TRUE(Contains(log, "[INFO] exit!"));
  EXPECT_FALSE(mgr_.forkMode);
  EXPECT_EQ(mgr_.ProductName, u"Capturo");
}

TEST_F(StartupTest, ForkModeTakesTheHostValues) {
  EXPECT_EQ(
      Run({"OnlyForkInstallDependent=1", "HostLang=de", "HostVersion=8.0.1", "HostHwnd=1234"}), 0);
  std::string log = Log("vtForkNUV.log");
  EXPECT_TRUE(Contains(log, "[INFO] start, fork=[1]."));
  EXPECT_TRUE(Contains(log, "[INFO] set select lang=[de]."));
  EXPECT_TRUE(Contains(log, "[INFO] set host hwnd=[4d2]."));
  EXPECT_TRUE(mgr_.forkMode);
  EXPECT_EQ(mgr_.SelectLang, u"de");
  EXPECT_EQ(mgr_.hostVersion, u"8.0.1");
  EXPECT_EQ(mgr_.hostHwnd, 1234);
  EXPECT_FALSE(std::filesystem::exists(DefaultLogFolder() + "vtNUV.log"));
}

TEST_F(StartupTest, ForkModeWithEmptyOrBadHostWindowStoresNone) {
  for (const char* hwnd : {"HostHwnd=", "HostHwnd=12ab"}) {
    NuvMgr fresh;
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunStartup({"OnlyForkInstallDependent=1", hwnd}, fresh, NoCrashHandler()), 0) << hwnd;
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(fresh.hostHwnd, 0) << hwnd;
    EXPECT_FALSE(Contains(Log("vtForkNUV.log"), "set host hwnd")) << hwnd;
  }
}

TEST(CommandLineTable, KeysAreExactAndTheLastOccurrenceWins) {
  struct Case {
    std::vector<std::string> args;
    bool fork;
  } cases[] = {
      {{}, false},
      {{"OnlyForkInstallDependent=1"}, true},
      {{"OnlyForkInstallDependent=true"}, false},
      {{"onlyforkinstalldependent=1"}, false},
      {{"OnlyForkInstallDependent=1", "OnlyForkInstallDependent=2"}, false},
      {{"OnlyForkInstallDependent=2", "OnlyForkInstallDependent=1"}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(CommandLineTable(c.args).IsForkMode(), c.fork);

  CommandLineTable table({"Key=a=b", "flag", "Dup=1", "Dup=2"});
  EXPECT_EQ(table.Value(u"Key"), u"a=b");
  EXPECT_TRUE(table.Has(u"flag"));
  EXPECT_EQ(table.Value(u"flag"), u"");
  EXPECT_EQ(table.Value(u"Dup"), u"2");
  EXPECT_EQ(table.Value(u"absent"), u"");
}

// Each early stop: its log line, exit -1, a box (here: standard error) only in interactive mode.
TEST_F(StartupTest, EveryEarlyStopHasItsLineAndBox) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    const char* logLine;
    const char* boxText;  // null: no box at all
  };
  std::unique_ptr<nuv::os::InstanceLock> held;
  const Case cases[] = {
      {"not admin", [] { nuv::os::SetAdministratorOverride(false); },
       "[ERROR] You must be logged in as administrator when installing this program.",
       "You must be logged in as administrator when installing this program."},
      {"product xml", [this] { MarkMissing("product.xml"); }, "[ERROR] LoadLocalXml failed!",
       "Load product xml error."},
      {"lang xml", [this] { MarkMissing("lang.xml"); }, "[ERROR] loadLangXML failed!",
       "Load lang xml error."},
      {"second instance",
       [&held] { held = std::make_unique<nuv::os::InstanceLock>("Capturo_nuv"); },
       "[WARN] Already exist PreInstance.", nullptr},
  };
  for (const Case& c : cases) {
    for (bool fork : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (fork ? " fork" : " interactive"));
      TearDown();
      std::filesystem::remove_all(dir_.Path());
      SetUp();
      held.reset();
      c.arrange();
      if (fork && held) held = std::make_unique<nuv::os::InstanceLock>("Capturo_nuv_fork");
      NuvMgr fresh;
      testing::internal::CaptureStderr();
      std::vector<std::string> args;
      if (fork) args.push_back("OnlyForkInstallDependent=1");
      EXPECT_EQ(RunStartup(args, fresh, NoCrashHandler()), -1);
      std::string err = testing::internal::GetCapturedStderr();
      std::string log = Log(fork ? "vtForkNUV.log" : "vtNUV.log");
      EXPECT_TRUE(Contains(log, c.logLine)) << log;
      EXPECT_FALSE(Contains(log, "[INFO] exit!"));
      if (c.boxText && !fork) {
        EXPECT_TRUE(Contains(err, c.boxText)) << err;
        EXPECT_TRUE(Contains(err, "Error")) << err;
      } else {
        EXPECT_TRUE(err.empty()) << err;
      }
    }
  }
  held.reset();
}

// The second interactive start brings the running instance's window (class "NUV", the product
// name as title) to the front before it ends; a fork start never does.
TEST_F(StartupTest, ASecondInteractiveStartActivatesTheRunningWindow) {
  // Window sockets are seen machine-wide, and test programs of other builds run beside this one
  // (this same test among them, and starts that activate any "Capturo" window): the window's
  // handle and the product name, its title, belong to this process alone.
  const std::string product = "Capturo-" + std::to_string(getpid());
  std::string productXml = ReadWholeFile(std::string(NUV_SOURCE_DIR) + "/resources/product.xml");
  const std::string shipped = "<ProductName>Capturo</ProductName>";
  const size_t at = productXml.find(shipped);
  ASSERT_NE(at, std::string::npos);
  productXml.replace(at, shipped.size(), "<ProductName>" + product + "</ProductName>");
  WriteWholeFile(dir_.File("res/product.xml"), productXml);
  const uint32_t handle = 0x50000000u | (static_cast<uint32_t>(getpid()) & 0x7FFFFFu) << 4 | 1u;

  std::mutex lock;
  std::condition_variable changed;
  int activations = 0;
  nuv::os::WindowSocketListener window(handle, {"NUV", product},
                                       [&](const nuv::os::WindowFrame& f) {
                                         if (f.kind != nuv::os::WindowFrameKind::Activate) return;
                                         std::lock_guard<std::mutex> guard(lock);
                                         ++activations;
                                         changed.notify_all();
                                       });
  ASSERT_TRUE(window.Start());
  nuv::os::InstanceLock first(product + "_nuv");
  nuv::os::InstanceLock firstFork(product + "_nuv_fork");
  EXPECT_EQ(Run({"OnlyForkInstallDependent=1"}), -1);
  EXPECT_EQ(Run({}), -1);
  std::unique_lock<std::mutex> guard(lock);
  EXPECT_TRUE(changed.wait_for(guard, std::chrono::seconds(10), [&] { return activations > 0; }));
  EXPECT_EQ(activations, 1);
  EXPECT_EQ(mgr_.ProductName, Utf8ToWide(product));
}

TEST_F(StartupTest, AForkInstanceIsNotBlockedByTheInteractiveOne) {
  nuv::os::InstanceLock interactive("Capturo_nuv");
  ASSERT_TRUE(interactive.Held());
  EXPECT_EQ(Run({"OnlyForkInstallDependent=1"}), 0);
  EXPECT_EQ(Run({}), -1);
}

// Steps 12-16 on the toolkit without a display: the skin archive, the main window (class "NUV",
// the product name as title) with its handle in the controller, then the loop. A missing skin
// archive leaves the window empty; a window that cannot be made stops the start-up.
TEST_F(StartupTest, TheMainWindowOpensWithOrWithoutItsSkin) {
  // A product name of its own: windows are seen machine-wide, and a parallel test looks for the
  // window titled "Capturo".
  std::string product = ReadWholeFile(std::string(NUV_SOURCE_DIR) + "/resources/product.xml");
  const std::string name = "<ProductName>Capturo<";
  product.replace(product.find(name), name.size(), "<ProductName>CapturoWindowTest<");
  WriteWholeFile(dir_.File("res/product.xml"), product);
  for (bool skinMissing : {false, true}) {
    SCOPED_TRACE(skinMissing ? "skin missing" : "skin present");
    if (skinMissing) MarkMissing("skin.zip");
    NuvMgr mgr;
    std::optional<nuv::os::WindowIdentity> identity;
    StartupHooks hooks = NoCrashHandler();
    hooks.openWindow = OpenMainWindow;
    hooks.runWindow = [&](NuvMgr& m, LanguageTable& language) {
      identity = nuv::os::QueryWindow(m.mainWnd);  // answered by the window's socket
      RunMainWindowLoop(m, language);
    };
    EXPECT_EQ(RunStartup({}, mgr, hooks), 0);
    EXPECT_NE(mgr.mainWnd, 0u);
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->className, "NUV");
    EXPECT_EQ(identity->title, "CapturoWindowTest");
    const std::string log = Log();
    const size_t handle = log.find("[INFO] NuvWnd handle=[");
    ASSERT_NE(handle, std::string::npos);
    EXPECT_LT(handle, log.find("[INFO] MessageLoop"));
    EXPECT_LT(log.find("[INFO] MessageLoop"), log.find("[INFO] MessageLoop end"));
    EXPECT_TRUE(Contains(log, "[INFO] window host=[offscreen]"));
    EXPECT_EQ(Contains(log, "skin skin.xml not found"), skinMissing);
  }
  StartupHooks failing = NoCrashHandler();
  failing.openWindow = [](NuvMgr&, LanguageTable&) { return false; };
  EXPECT_EQ(RunStartup({}, mgr_, failing), -1);
  EXPECT_TRUE(Contains(Log(), "[ERROR] create NuvWnd failed!"));
}

}  // namespace
