#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "os_test_env.h"
#include "platform/os/locale.h"
#include "support/temp_dir.h"

using nuv::os::LcidFromLocaleName;

namespace {

TEST(OsLocale, NamesMapToWindowsIdentifiers) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"de_DE.UTF-8", 0x0407},
      {"de_AT@euro", 0x0C07},
      {"fr-ca", 0x0C0C},
      {"zh_CN.GB18030", 0x0804},
      {"zh_TW.UTF-8", 0x0404},
      {"pt_BR", 0x0416},
      {"es_MX", 0x080A},
      {"es_ES.UTF-8", 0x0C0A},
      {"es_ES.UTF-8@tradnl", 0x040A},
      {"sv", 0x001D},
      {"hi_IN", 0x0439},
      {"en_US.UTF-8", 0x0409},
      {"en_GB", 0x0809},
      {"de_XX", 0x0407},  // unknown country: the language's own identifier
      {"xx_YY", 0x0409},
      {"C", 0x0409},
      {"C.UTF-8", 0x0409},
      {"POSIX", 0x0409},
      {"", 0x0409},
      {"_DE", 0x0409},
  };
  for (const auto& [name, lcid] : cases) EXPECT_EQ(LcidFromLocaleName(name), lcid) << name;
}

// The identifiers of the language table: every one must come out of some POSIX name.
TEST(OsLocale, EveryLanguageTableIdentifierIsReachable) {
  const uint32_t table[] = {
      0x080C, 0x0C0C, 0x040C, 0x140C, 0x180C, 0x100C, 0x0C07, 0x0407, 0x1407, 0x1007, 0x0807,
      0x0411, 0x0416, 0x0816, 0x2C0A, 0x400A, 0x340A, 0x240A, 0x140A, 0x1C0A, 0x300A, 0x440A,
      0x100A, 0x480A, 0x080A, 0x4C0A, 0x180A, 0x3C0A, 0x280A, 0x500A, 0x040A, 0x0C0A, 0x380A,
      0x200A, 0x0410, 0x0810, 0x0404, 0x0C04, 0x0804, 0x1004, 0x0419, 0x0819, 0x0413, 0x0813,
      0x0412, 0x0421, 0x001D, 0x041D, 0x081D, 0x3801, 0x3C01, 0x1401, 0x0C01, 0x0801, 0x2C01,
      0x3401, 0x3001, 0x1001, 0x1801, 0x2001, 0x4001, 0x0401, 0x2801, 0x1C01, 0x2401, 0x004E,
      0x044E, 0x004A, 0x044A, 0x0049, 0x0449, 0x0445, 0x0039, 0x0439, 0x041E};
  ASSERT_EQ(std::size(table), 75u);
  std::set<uint32_t> reachable;
  for (std::string name : nuv::os::KnownLocaleNames()) {
    // The code set goes before a modifier: ll_CC.UTF-8@mod.
    size_t at = name.find('@');
    name.insert(at == std::string::npos ? name.size() : at, ".UTF-8");
    reachable.insert(LcidFromLocaleName(name));
  }
  for (uint32_t lcid : table) EXPECT_TRUE(reachable.count(lcid)) << std::hex << lcid;
}

TEST(OsLocale, UserLocaleFollowsPosixPrecedence) {
  ScopedEnv all("LC_ALL", "");  // set but empty counts as unset
  ScopedEnv messages("LC_MESSAGES", "fr_CA.UTF-8");
  ScopedEnv lang("LANG", "de_DE.UTF-8");
  EXPECT_EQ(nuv::os::UserDefaultLcid(), 0x0C0Cu);
  {
    ScopedEnv all2("LC_ALL", "ja_JP.UTF-8");
    EXPECT_EQ(nuv::os::UserDefaultLcid(), 0x0411u);
  }
  ScopedEnv noMessages("LC_MESSAGES", std::nullopt);
  EXPECT_EQ(nuv::os::UserDefaultLcid(), 0x0407u);
  ScopedEnv noLang("LANG", std::nullopt);
  EXPECT_EQ(nuv::os::UserDefaultLcid(), 0x0409u);
}

TEST(OsLocale, SystemLocaleFromTheConfigurationFileElseTheUsers) {
  TempDir root;
  ScopedEnv prefix("NUV_ROOT_PREFIX", root.Path());
  ScopedEnv all("LC_ALL", std::nullopt);
  ScopedEnv messages("LC_MESSAGES", std::nullopt);
  ScopedEnv lang("LANG", "ru_RU.UTF-8");
  EXPECT_EQ(nuv::os::SystemDefaultLcid(), 0x0419u);  // no file

  std::filesystem::create_directories(root.File("etc/default"));
  WriteWholeFile(
      root.File("etc/default/locale"),
      "# written by the installer\nLANG=\"de_DE.UTF-8\"\n  export LC_MESSAGES='zh_TW.UTF-8'\n");
  EXPECT_EQ(nuv::os::LocaleNameFromFile(root.File("etc/default/locale")), "zh_TW.UTF-8");
  EXPECT_EQ(nuv::os::SystemDefaultLcid(), 0x0404u);
  EXPECT_EQ(nuv::os::UserDefaultLcid(), 0x0419u);  // the user's stays its own
}

}  // namespace
