#include "platform/dotnet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/registry_store.h"
#include "platform/os_test_env.h"
#include "platform/process_test_util.h"
#include "platform/registry_test_env.h"
#include "support/temp_dir.h"
#include "xml/utf.h"

using namespace std::chrono_literals;
using nuv::os::Hive;
using nuv::os::RegistryStore;
using nuv::os::RegValue;
using nuv::os::View;

namespace {

constexpr const char16_t* kFramework = u"SOFTWARE\\Microsoft\\.NETFramework";
constexpr const char16_t* kNdp = u"Software\\Microsoft\\NET Framework Setup\\NDP\\";

class DotNetTest : public RegistryDirTest {
 protected:
  void Key(const std::u16string& path) {
    ASSERT_TRUE(Store().CreateKey(Hive::LocalMachine, View::Default, path));
  }
  void Set(const std::u16string& path, const std::u16string& name, const RegValue& value) {
    Key(path);
    ASSERT_TRUE(Store().SetValue(Hive::LocalMachine, View::Default, path, name, value));
  }
  void Family(const std::u16string& subKey, const std::u16string& version, RegValue install) {
    Set(kNdp + subKey, u"Install", install);
    Set(kNdp + subKey, u"Version", RegValue::Sz(version));
  }
  void Net2() {
    Key(std::u16string(kFramework) + u"\\policy\\v2.0.50727");
    Set(kFramework, u"InstallRoot", RegValue::Sz(u"/var/lib/dotnet/"));
  }
  std::optional<RegValue> Shim() {
    RegValue v;
    if (!Store().QueryValue(Hive::LocalMachine, View::Default, kFramework, u"NoGuiFromShim", &v))
      return std::nullopt;
    return v;
  }

  // Made after SetUp pointed NUV_REGISTRY_DIR at the temporary folder.
  RegistryStore Store() { return RegistryStore(); }
};

TEST_F(DotNetTest, VersionRequestsAgainstInstalledFamilies) {
  struct Installed {
    std::u16string subKey, version;
    RegValue install = RegValue::Dword(1);
  };
  struct Case {
    const char* name;
    std::u16string request;
    std::vector<Installed> installed;
    bool expected;
  } cases[] = {
      {"4.8 satisfies 4.6", u"4.6", {{u"v4\\Full", u"4.8.04084"}}, true},
      {"4.5 does not satisfy 4.6", u"4.6", {{u"v4\\Full", u"4.5.51209"}}, false},
      {"3.5 never satisfies 4.x", u"4.6", {{u"v3.5", u"3.5.30729.4926"}}, false},
      {"2 < 3 satisfies 2.0", u"2.0", {{u"v3.5", u"3.5.30729.4926"}}, true},
      {"2.0 does not satisfy 3.5", u"3.5", {{u"v2.0.50727", u"2.0.50727.4927"}}, false},
      {"4.x does not satisfy 3.5", u"3.5", {{u"v4\\Full", u"4.8.04084"}}, false},
      {"1.1 is never asked", u"1.1", {{u"v2.0.50727", u"2.0.50727.4927"}}, false},
      {"5.0 is never asked", u"5.0", {{u"v4\\Full", u"4.8.04084"}}, false},
      {"Install 0 does not count", u"3.0", {{u"v3.0", u"3.0.30729", RegValue::Dword(0)}}, false},
      {"Install as text does not count",
       u"3.0",
       {{u"v3.0", u"3.0.30729", RegValue::Sz(u"1")}},
       false},
      {"v4 without Full does not count", u"4.0", {{u"v4.0", u"4.0.0.0"}}, false},
      {"a later subkey satisfies",
       u"3.5",
       {{u"v2.0.50727", u"2.0.50727.4927"}, {u"v3.5", u"3.5.30729.4926"}},
       true},
      {"major only means minor 0", u"4", {{u"v4\\Full", u"4.0.30319"}}, true},
  };
  for (const Case& c : cases) {
    Store().DeleteKey(Hive::LocalMachine, View::Default,
                      u"Software\\Microsoft\\NET Framework Setup");
    for (const Installed& i : c.installed) Family(i.subKey, i.version, i.install);
    EXPECT_EQ(platform::IsNetVersionInstalled(c.request), c.expected) << c.name;
  }
}

TEST_F(DotNetTest, NoNdpKeyMeansNotInstalled) {
  EXPECT_FALSE(platform::IsNetVersionInstalled(u"2.0"));
}

TEST_F(DotNetTest, Net2NeedsThePolicyKeyAndAnInstallRoot) {
  EXPECT_FALSE(platform::IsNet2Present());
  Key(std::u16string(kFramework) + u"\\policy\\v2.0");
  EXPECT_FALSE(platform::IsNet2Present());
  Set(kFramework, u"InstallRoot", RegValue::Sz(u""));
  EXPECT_FALSE(platform::IsNet2Present());
  Set(kFramework, u"InstallRoot", RegValue::Sz(u"/var/lib/dotnet/"));
  EXPECT_TRUE(platform::IsNet2Present());
}

TEST_F(DotNetTest, CheckerRunAnswersItsExitCodeAndRestoresTheShimValue) {
  TempDir dir;
  std::string ok = WriteScript(dir, "ok.sh", "exit 0");
  std::string bad = WriteScript(dir, "bad.sh", "exit 1");
  std::string hang = WriteScript(dir, "hang.sh", "exec sleep 60");
  EXPECT_FALSE(platform::RunNetChecker(Utf8ToWide(ok)));  // no 2.0 runtime registered
  Net2();
  EXPECT_FALSE(platform::RunNetChecker(u""));
  EXPECT_TRUE(platform::RunNetChecker(Utf8ToWide(ok)));
  EXPECT_FALSE(platform::RunNetChecker(Utf8ToWide(bad)));
  EXPECT_FALSE(platform::RunNetChecker(Utf8ToWide(hang), 200ms));
  EXPECT_FALSE(Shim());  // missing before, missing after

  for (uint32_t before : {0u, 1u, 2u}) {
    Set(kFramework, u"NoGuiFromShim", RegValue::Dword(before));
    EXPECT_TRUE(platform::RunNetChecker(Utf8ToWide(ok)));
    ASSERT_TRUE(Shim());
    EXPECT_EQ(Shim()->number, before);
  }
}

class EmbeddedCheckerTest : public ::testing::Test {
 protected:
  bool LeftoverFiles() {
    return std::filesystem::exists(work_.File("NFWCHK.exe")) ||
           std::filesystem::exists(work_.File("NFWCHK.exe.config"));
  }
  TempDir work_;
  TempDir overlay_;
  ScopedEnv resources_{"NUV_RESOURCE_DIR", overlay_.Path()};
};

TEST_F(EmbeddedCheckerTest, EmbeddedCheckerPassesAndLeavesNoFiles) {
  EXPECT_TRUE(platform::RunEmbeddedNetChecker(Utf8ToWide(work_.Path())));
  EXPECT_FALSE(LeftoverFiles());
  // Without the trailing '/' too.
  std::string folder = work_.Path().substr(0, work_.Path().size() - 1);
  EXPECT_TRUE(platform::RunEmbeddedNetChecker(Utf8ToWide(folder)));
  EXPECT_FALSE(LeftoverFiles());
}

TEST_F(EmbeddedCheckerTest, FailuresCountAsNotPresent) {
  // The configuration selects the runtimes in the wrong order: the checker itself says no.
  WriteWholeFile(overlay_.File("nfwchk.config"),
                 "<configuration><startup useLegacyV2RuntimeActivationPolicy=\"true\">"
                 "<supportedRuntime version=\"v4.0\"/><supportedRuntime version=\"v2.0.50727\"/>"
                 "</startup></configuration>");
  EXPECT_FALSE(platform::RunEmbeddedNetChecker(Utf8ToWide(work_.Path())));
  EXPECT_FALSE(LeftoverFiles());
  std::filesystem::remove(overlay_.File("nfwchk.config"));

  // A checker that hangs is killed at the limit.
  WriteWholeFile(overlay_.File("nfwchk"), "#!/bin/sh\nexec sleep 60\n");
  EXPECT_FALSE(platform::RunEmbeddedNetChecker(Utf8ToWide(work_.Path()), 200ms));
  EXPECT_FALSE(LeftoverFiles());
  std::filesystem::remove(overlay_.File("nfwchk"));

  // The files can't be written.
  EXPECT_FALSE(platform::RunEmbeddedNetChecker(Utf8ToWide(work_.File("no/such/folder"))));

  // The resource is missing.
  WriteWholeFile(overlay_.File("nfwchk.missing"), "");
  EXPECT_FALSE(platform::RunEmbeddedNetChecker(Utf8ToWide(work_.Path())));
  EXPECT_FALSE(LeftoverFiles());
}

}  // namespace
