#include "platform/registry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "platform/os/registry_store.h"
#include "platform/registry_test_env.h"

namespace {

using nuv::os::Hive;
using nuv::os::RegistryStore;
using nuv::os::RegType;
using nuv::os::RegValue;
using nuv::os::View;

constexpr Hive kLM = Hive::LocalMachine;
constexpr Hive kCU = Hive::CurrentUser;
constexpr char16_t kHelperKey[] = u"Software\\Veltrin\\Veltrin Helper Compact";
constexpr char16_t kNufKey[] = u"Software\\Veltrin\\NUF";

class RegistryTest : public RegistryDirTest {
 protected:
  // The store is named after the environment, so it is made once the fixture has set it.
  void SetUp() override {
    RegistryDirTest::SetUp();
    reg_ = RegistryStore();
  }

  void Put(Hive hive, View view, const std::u16string& key, const std::u16string& name,
           const RegValue& value) {
    ASSERT_TRUE(reg_.CreateKey(hive, view, key));
    ASSERT_TRUE(reg_.SetValue(hive, view, key, name, value));
  }
  void PutSz(Hive hive, const std::u16string& key, const std::u16string& name,
             const std::u16string& text, View view = View::Default) {
    Put(hive, view, key, name, RegValue::Sz(text));
  }
  // The text of a REG_SZ, or "<none>".
  std::u16string Text(Hive hive, const std::u16string& key, const std::u16string& name,
                      View view = View::Default) {
    RegValue v;
    if (!reg_.QueryValue(hive, view, key, name, &v) || v.type != RegType::Sz) return u"<none>";
    return v.text;
  }
  void PutProduct(const std::u16string& sub, uint32_t pid, const std::u16string& installInfo,
                  const std::u16string& version) {
    const std::u16string key = u"Software\\Veltrin\\" + sub;
    Put(kLM, View::Default, key, u"PID", RegValue::Dword(pid));
    if (!installInfo.empty()) PutSz(kLM, key, u"InstallInfo", installInfo);
    if (!version.empty()) PutSz(kLM, key, u"Version", version);
  }
  std::string MakeFile(const std::string& name) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << "x";
    return path;
  }

  RegistryStore reg_{"", ""};
};

TEST_F(RegistryTest, InstalledProductIsTheFirstSubkeyWithThePidAndInstallInfo) {
  PutProduct(u"Old", 7, u"", u"0.9");       // same id, not installed
  PutProduct(u"Other", 8, u"yes", u"5.0");  // installed, other id
  PutProduct(u"Capturo", 7, u"yes", u"1.2.3");
  PutSz(kLM, u"Software\\Veltrin\\Capturo", u"InstallPath", u"/opt/Capturo");
  PutProduct(u"Later", 7, u"yes", u"9.9");  // after the first match

  std::u16string version;
  EXPECT_TRUE(platform::GetInstalledVersion(u"Veltrin", 7, version));
  EXPECT_EQ(version, u"1.2.3");
  EXPECT_EQ(platform::GetInstalledPath(u"VELTRIN", 7), u"/opt/Capturo");
  EXPECT_EQ(platform::GetInstalledName(u"Veltrin", 7), u"");  // found, value missing

  EXPECT_FALSE(platform::GetInstalledVersion(u"Veltrin", 99, version));
  EXPECT_EQ(version, u"");
  EXPECT_FALSE(platform::GetInstalledVersion(u"NoSuchBrand", 7, version));
}

TEST_F(RegistryTest, InstalledProductNeedsDwordPidAndTextWithinLimits) {
  // A PID written as text is not the DWORD the lookup reads.
  PutSz(kLM, u"Software\\Veltrin\\AsText", u"PID", u"7");
  PutSz(kLM, u"Software\\Veltrin\\AsText", u"InstallInfo", u"yes");
  // The 64-bit view is not where the 32-bit program looks.
  Put(kLM, View::Bit64, u"Software\\Veltrin\\Wide", u"PID", RegValue::Dword(7));
  PutSz(kLM, u"Software\\Veltrin\\Wide", u"InstallInfo", u"yes", View::Bit64);
  std::u16string text;
  EXPECT_FALSE(platform::FindInstalledValue(u"Veltrin", u"Version", 7, text));

  PutProduct(u"Capturo", 7, u"yes", u"");
  PutSz(kLM, u"Software\\Veltrin\\Capturo", u"Fits", std::u16string(255, u'f'));
  PutSz(kLM, u"Software\\Veltrin\\Capturo", u"TooLong", std::u16string(256, u'l'));
  Put(kLM, View::Default, u"Software\\Veltrin\\Capturo", u"Number", RegValue::Dword(1));
  EXPECT_TRUE(platform::FindInstalledValue(u"Veltrin", u"Fits", 7, text));
  EXPECT_EQ(text.size(), 255u);
  EXPECT_TRUE(platform::FindInstalledValue(u"Veltrin", u"TooLong", 7, text));
  EXPECT_EQ(text, u"");
  EXPECT_TRUE(platform::FindInstalledValue(u"Veltrin", u"Number", 7, text));
  EXPECT_EQ(text, u"");
}

TEST_F(RegistryTest, UninstallVersionSearchesTheWideListFirstThenTheNarrowOne) {
  const std::u16string list = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  EXPECT_EQ(platform::GetUninstallVersion(u"42"), u"");

  // A 32-bit setup writes the plain path in the 32-bit view.
  PutSz(kLM, list + u"Narrow", u"PID", u"42", View::Bit32);
  PutSz(kLM, list + u"Narrow", u"Version", u"3.0", View::Bit32);
  EXPECT_EQ(platform::GetUninstallVersion(u"42"), u"3.0");

  Put(kLM, View::Bit64, list + u"AsDword", u"PID", RegValue::Dword(42));
  PutSz(kLM, list + u"AsDword", u"Version", u"1.0", View::Bit64);
  PutSz(kLM, list + u"NoVersion", u"PID", u"42", View::Bit64);
  EXPECT_EQ(platform::GetUninstallVersion(u"42"), u"3.0");

  PutSz(kLM, list + u"Wide", u"PID", u"42", View::Bit64);
  PutSz(kLM, list + u"Wide", u"Version", u"4.0", View::Bit64);
  EXPECT_EQ(platform::GetUninstallVersion(u"42"), u"4.0");
  EXPECT_EQ(platform::GetUninstallVersion(u"4"), u"");
}

TEST_F(RegistryTest, CompanionIsTheFirstViewNamingAnExistingFile) {
  const std::u16string key = u"Software\\Veltrin\\Veltrin Motif Hub";
  EXPECT_EQ(platform::GetCompanionInstallName(), u"");
  EXPECT_FALSE(platform::IsCompanionInstalled());

  const std::string present = MakeFile("hub");
  const std::u16string presentW(present.begin(), present.end());  // ASCII temp path
  struct Case {
    const char16_t* wide;  // nullptr: no value in that view
    const char16_t* narrow;
    std::u16string expected;
    bool installed;
  };
  const Case cases[] = {
      {u"/nonexistent/64", nullptr, u"/nonexistent/64", false},
      {u"/nonexistent/64", u"/nonexistent/32", u"/nonexistent/32", false},
      {u"/nonexistent/64", u"<present>", presentW, true},
      {u"<present>", u"/nonexistent/32", presentW, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.expected.begin(), c.expected.end()));
    reg_.DeleteKey(kLM, View::Bit64, key);
    reg_.DeleteKey(kLM, View::Bit32, key);
    auto name = [&](const char16_t* v) {
      return std::u16string(v) == u"<present>" ? presentW : std::u16string(v);
    };
    if (c.wide) PutSz(kLM, key, u"InstallName", name(c.wide), View::Bit64);
    if (c.narrow) PutSz(kLM, key, u"InstallName", name(c.narrow), View::Bit32);
    EXPECT_EQ(platform::GetCompanionInstallName(), c.expected);
    EXPECT_EQ(platform::IsCompanionInstalled(), c.installed);
  }
}

TEST_F(RegistryTest, IeVersionOrDash) {
  const std::u16string key = u"Software\\Microsoft\\Internet Explorer";
  EXPECT_EQ(platform::GetIeVersion(), u"-");
  for (const auto& [stored, expected] : {std::pair<std::u16string, std::u16string>{u"", u"-"},
                                         {u"11.0.19041.1", u"11.0.19041.1"},
                                         {std::u16string(51, u'9'), u"-"}}) {
    PutSz(kLM, key, u"Version", stored);
    EXPECT_EQ(platform::GetIeVersion(), expected);
  }
}

// "{" + 8-4-4-4-12 lower-case hex with version 4 and variant 8..b + "G}".
void ExpectClientSignFormat(const std::u16string& sign) {
  ASSERT_EQ(sign.size(), 39u);
  EXPECT_EQ(sign.front(), u'{');
  EXPECT_EQ(sign.substr(37), u"G}");
  for (size_t i = 1; i < 37; ++i) {
    const char16_t c = sign[i];
    if (i == 9 || i == 14 || i == 19 || i == 24) {
      EXPECT_EQ(c, u'-') << i;
    } else {
      EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')) << i;
    }
  }
  EXPECT_EQ(sign[15], u'4');
  EXPECT_NE(std::u16string(u"89ab").find(sign[20]), std::u16string::npos);
}

TEST_F(RegistryTest, NewClientSignIsWrittenToTheMachineCopiesAndKept) {
  EXPECT_EQ(platform::ReadClientSign(u"Veltrin"), u"");
  const std::u16string sign = platform::GetOrCreateClientSign(u"Veltrin");
  ExpectClientSignFormat(sign);
  EXPECT_EQ(Text(kLM, kHelperKey, u"ClientSign"), sign);
  EXPECT_EQ(Text(kLM, kNufKey, u"ClientSign"), sign);
  EXPECT_EQ(Text(kCU, kHelperKey, u"ClientSign"), u"<none>");
  EXPECT_TRUE(reg_.OpenKey(kCU, View::Default, kHelperKey));  // made by the read
  EXPECT_EQ(platform::GetOrCreateClientSign(u"Veltrin"), sign);

  // Fresh machines get different identifiers.
  std::set<std::u16string> signs{sign};
  for (int i = 0; i < 8; ++i) {
    reg_.DeleteKey(kLM, View::Default, u"Software\\Veltrin");
    const std::u16string next = platform::GetOrCreateClientSign(u"Veltrin");
    ExpectClientSignFormat(next);
    signs.insert(next);
  }
  EXPECT_EQ(signs.size(), 9u);
}

TEST_F(RegistryTest, ClientSignCopiesAreReadInOrder) {
  // Only the K2 copy: it is the answer and nothing new is written.
  PutSz(kLM, kNufKey, u"ClientSign", u"{nuf}");
  EXPECT_EQ(platform::GetOrCreateClientSign(u"Veltrin"), u"{nuf}");
  EXPECT_EQ(Text(kLM, kHelperKey, u"ClientSign"), u"<none>");
  EXPECT_EQ(Text(kCU, kHelperKey, u"ClientSign"), u"<none>");

  PutSz(kLM, kHelperKey, u"ClientSign", u"{machine}");
  EXPECT_EQ(platform::ReadClientSign(u"Veltrin"), u"{machine}");
  // An empty per-user copy hides nothing and must not lead to a new identifier.
  PutSz(kCU, kHelperKey, u"ClientSign", u"");
  EXPECT_EQ(platform::GetOrCreateClientSign(u"Veltrin"), u"{machine}");
  // A copy too long for the 100-byte buffer does not read.
  PutSz(kCU, kHelperKey, u"ClientSign", std::u16string(50, u'u'));
  EXPECT_EQ(platform::ReadClientSign(u"Veltrin"), u"{machine}");
  PutSz(kCU, kHelperKey, u"ClientSign", u"{user}");
  EXPECT_EQ(platform::ReadClientSign(u"Veltrin"), u"{user}");
}

TEST_F(RegistryTest, ChannelRecordKeepsTheFirstChannelAsDefault) {
  const std::u16string key = u"Software\\NufCX";
  EXPECT_EQ(platform::ReadDefaultChannel(), u"");
  platform::WriteChannelRecord(u"10045", u"capturo", u"C1");
  platform::WriteChannelRecord(u"10045", u"capturo", u"C2");
  EXPECT_EQ(platform::ReadDefaultChannel(), u"C1");
  EXPECT_EQ(Text(kLM, key, u"capturo"), u"C2");
  EXPECT_EQ(Text(kLM, key, u"10045"), u"<none>");

  platform::WriteChannelRecord(u"10046", u"", u"C3");
  EXPECT_EQ(Text(kLM, key, u"10046"), u"C3");
  platform::WriteChannelRecord(u"", u"", u"C4");  // no name to file it under
  EXPECT_EQ(platform::ReadDefaultChannel(), u"C1");
}

TEST_F(RegistryTest, UserDwordNeedsAnExistingKey) {
  EXPECT_EQ(platform::ReadUserDword(u"Software\\Veltrin", u"Flag"), 0u);
  platform::WriteUserDword(u"Software\\Veltrin", u"Flag", 5);
  EXPECT_FALSE(reg_.OpenKey(kCU, View::Default, u"Software\\Veltrin"));
  EXPECT_EQ(platform::ReadUserDword(u"Software\\Veltrin", u"Flag"), 0u);

  ASSERT_TRUE(reg_.CreateKey(kCU, View::Default, u"Software\\Veltrin"));
  platform::WriteUserDword(u"Software\\Veltrin", u"Flag", 0xFFFFFFFFu);
  EXPECT_EQ(platform::ReadUserDword(u"software\\veltrin", u"FLAG"), 0xFFFFFFFFu);
  PutSz(kCU, u"Software\\Veltrin", u"Text", u"5");
  EXPECT_EQ(platform::ReadUserDword(u"Software\\Veltrin", u"Text"), 0u);
}

TEST_F(RegistryTest, CompatibilityLayerGoesToBothViewsCutTo49Characters) {
  const std::u16string key =
      u"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
  const std::u16string program = u"/tmp/Capturo Setup.exe";
  const std::u16string layers = u"~ RUNASADMIN WIN7RTM " + std::u16string(40, u'X');
  platform::SetCompatibilityLayer(layers, program);
  for (View view : {View::Bit32, View::Bit64}) {
    EXPECT_EQ(Text(kLM, key, program, view), layers.substr(0, 49));
  }
}

TEST_F(RegistryTest, UnusableStoreAnswersEmpty) {
  {
    std::ofstream(dir_ + "/hklm.db", std::ios::binary) << std::string(4096, '\x5A');
    std::ofstream(dir_ + "/hkcu.db", std::ios::binary) << std::string(4096, '\x5A');
  }
  std::u16string text = u"stale";
  EXPECT_FALSE(platform::FindInstalledValue(u"Veltrin", u"Version", 7, text));
  EXPECT_EQ(text, u"");
  EXPECT_EQ(platform::GetUninstallVersion(u"7"), u"");
  EXPECT_EQ(platform::GetIeVersion(), u"-");
  EXPECT_EQ(platform::ReadClientSign(u"Veltrin"), u"");
  ExpectClientSignFormat(platform::GetOrCreateClientSign(u"Veltrin"));
  platform::WriteChannelRecord(u"1", u"a", u"c");
  EXPECT_EQ(platform::ReadDefaultChannel(), u"");
  EXPECT_EQ(platform::ReadUserDword(u"Software", u"x"), 0u);
}

}  // namespace
