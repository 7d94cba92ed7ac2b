#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "e2e_run.h"

using namespace std::chrono_literals;

namespace {

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string f; std::getline(in, f, '\t');) out.push_back(f);
  return out;
}

using ForkRunTest = E2eRunTest;

// Once every package of the run is complete, the controller starts this program again as the
// hidden instance for the dependents marked for it, with the host's language, version and window.
TEST_F(ForkRunTest, LastDownloadStartsTheForkInstanceWithTheHostValues) {
  ServePackage("capturo-30006.run", SetupSettings("Capturo"));
  const std::string url = SecureUrl("capturo-30006.run");
  ServeRuntime("30006", "<version>2.0.0.0</version>");
  UseProduct(
      {"30006",
       url,
       {{"10819", "Veltrin Motif Hub", Cloud().Base() + "/pkg/motifhub.run", "false", "1"}}});

  TestWindow window;
  NuvMgr mgr;
  ASSERT_TRUE(Run(mgr, window).installed);
  EXPECT_TRUE(mgr.dependentByFork);
  EXPECT_EQ(mgr.FindTask(10819), nullptr);  // the fork instance plans it, not this one

  const std::vector<std::string> lines = WaitForLines(ForkRecord(), 1, 10s);
  ASSERT_EQ(lines.size(), 1u);
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string hwnd = std::to_string(window.Handle());
  EXPECT_EQ(Fields(lines[0]),
            (std::vector<std::string>{self, "OnlyForkInstallDependent=1", "HostLang=en",
                                      "HostVersion=2.0.0.0", "HostHwnd=" + hwnd}));
  EXPECT_TRUE(
      Logged("[INFO] Fork install dependent: \n \"" + self +
             "\" OnlyForkInstallDependent=1 HostLang=en HostVersion=2.0.0.0 HostHwnd=" + hwnd));
}

}  // namespace
