// The operating-system super properties with this platform's values.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/utsname.h>

#include <optional>
#include <string>

#include "analytics/os_properties.h"
#include "platform/registry.h"

TEST(OsProperties, LanguageOfLocale) {
  const std::pair<const char*, const char*> cases[] = {
      {"en_US.UTF-8", "en"}, {"de_DE", "de"},   {"zh-CN", "zh"}, {"fr.UTF-8", "fr"},
      {"sr@latin", "sr"},    {"pt_BR@x", "pt"}, {"", "en"},      {"C", "en"},
      {"C.UTF-8", "en"},     {"POSIX", "en"},
  };
  for (const auto& [name, language] : cases)
    EXPECT_EQ(analytics::LanguageOfLocale(name), language) << name;
}

TEST(OsProperties, ZoneHoursAreTruncatedTowardsZero) {
  const std::pair<long, int64_t> cases[] = {
      {0, 0}, {28800, 8}, {-18000, -5}, {19800, 5}, {-12600, -3}, {-1800, 0}, {45900, 12},
  };
  for (const auto& [offset, hours] : cases)
    EXPECT_EQ(analytics::ZoneHours(offset), hours) << offset;
}

TEST(OsProperties, ValuesFromThisSystem) {
  const char* saved[3];
  const char* names[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::optional<std::string> old[3];
  for (int i = 0; i < 3; ++i) {
    saved[i] = getenv(names[i]);
    if (saved[i]) old[i] = saved[i];
    unsetenv(names[i]);
  }
  setenv("LANG", "de_DE.UTF-8", 1);
  for (const bool wide : {true, false}) {
    platform::OverrideIsWow64ForTest(wide);
    const analytics_sdk::PropertiesNode node = analytics::OsSuperProperties();
    EXPECT_EQ(node.Find("ostype")->text, "windows");
    EXPECT_EQ(node.Find("oslang")->text, "de");
    EXPECT_EQ(node.Find("osbit")->kind, analytics_sdk::utils::ValueNode::kInteger);
    EXPECT_EQ(node.Find("osbit")->integer, wide ? 64 : 32);
    EXPECT_EQ(node.Find("oszone")->kind, analytics_sdk::utils::ValueNode::kInteger);
    utsname u{};
    ASSERT_EQ(uname(&u), 0);
    int major = 0, minor = 0;
    ASSERT_EQ(sscanf(u.release, "%d.%d", &major, &minor), 2);
    EXPECT_EQ(node.Find("os_version")->text, std::to_string(major) + "." + std::to_string(minor));
  }
  platform::OverrideIsWow64ForTest(std::nullopt);
  for (int i = 0; i < 3; ++i) {
    if (old[i])
      setenv(names[i], old[i]->c_str(), 1);
    else
      unsetenv(names[i]);
  }
}
