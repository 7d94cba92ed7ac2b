#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <ctime>
#include <regex>

#include "os_elf_fixture.h"
#include "platform/version_text.h"
#include "support/temp_dir.h"
#include "xml/utf.h"

using namespace platform;

namespace {

TEST(VersionText, OsVersionIsTheKernelRelease) {
  utsname info;
  ASSERT_EQ(uname(&info), 0);
  std::string text = WideToUtf8(AppendOsVersion(u"Linux "));
  ASSERT_TRUE(std::regex_match(text, std::regex("Linux [0-9]+\\.[0-9]+\\.[0-9]+"))) << text;
  // The release starts with the same numbers ("6.1.0-18-amd64" -> "6.1.0").
  std::string numbers = text.substr(6);
  EXPECT_EQ(std::string(info.release).compare(0, numbers.size(), numbers), 0)
      << info.release << " vs " << numbers;
}

TEST(VersionText, FileVersionTextFromTheSection) {
  EXPECT_EQ(GetOwnFileVersion(), u"1.2.3.4");  // set by tests/platform/CMakeLists.txt

  TempDir dir;
  const std::pair<std::string, std::optional<std::u16string>> cases[] = {
      {"4.4.0.1", u"4.4.0.1"},     {"10.0", u"10.0.0.0"},     {"65535.0.0.7", u"65535.0.0.7"},
      {"1.2.3.4.5", std::nullopt}, {"65536.1", std::nullopt}, {"a.b", std::nullopt},
      {"1..2", std::nullopt},      {"1.2.", std::nullopt},    {"", std::nullopt},
  };
  for (const auto& [section, expected] : cases) {
    ElfFixture fixture;
    fixture.text = section;
    WriteWholeFile(dir.File("f"), fixture.Build());
    std::u16string text = u"unchanged";
    bool ok = GetFileVersionText(Utf8ToWide(dir.File("f")), text);
    EXPECT_EQ(ok, expected.has_value()) << section;
    if (expected) {
      EXPECT_EQ(text, *expected) << section;
    }
  }
  std::u16string text;
  EXPECT_FALSE(GetFileVersionText(u"/bin/sh", text));
  EXPECT_FALSE(GetFileVersionText(u"/no/such/file", text));
}

TEST(VersionText, ParseAndCompare) {
  EXPECT_EQ(ParseVersion(u"4.5.6.7"), (std::array<int, 4>{4, 5, 6, 7}));
  EXPECT_EQ(ParseVersion(u"4.4"), (std::array<int, 4>{4, 4, 0, 0}));
  EXPECT_EQ(ParseVersion(u" 3. 2x.9"), (std::array<int, 4>{3, 2, 0, 0}));
  EXPECT_EQ(ParseVersion(u"v1.2"), (std::array<int, 4>{0, 0, 0, 0}));
  EXPECT_EQ(ParseVersion(u"-1.99999999999"), (std::array<int, 4>{-1, 2147483647, 0, 0}));
  EXPECT_EQ(ParseVersion(u""), (std::array<int, 4>{0, 0, 0, 0}));

  const std::tuple<std::u16string, std::u16string, int> cases[] = {
      {u"4.4.0", u"4.4.0.1", -1},  {u"10.0", u"9.9.9.9", 1}, {u"4.4.0.0", u"4.4", 0},
      {u"4.5.0.0", u"4.4.0.0", 1}, {u"", u"0.0.0.0", 0},     {u"1.2.3.4.9", u"1.2.3.4", 0},
  };
  for (const auto& [a, b, expected] : cases) {
    EXPECT_EQ(CompareVersions(a, b), expected) << WideToUtf8(a) << " vs " << WideToUtf8(b);
    EXPECT_EQ(CompareVersions(b, a), -expected);
  }
}

TEST(VersionText, NumberTexts) {
  EXPECT_EQ(ToDecimalText(0), "0");
  EXPECT_EQ(ToDecimalText(4294967295u), "4294967295");
  EXPECT_EQ(ToDecimalWideText(-2147483647 - 1), u"-2147483648");
  EXPECT_EQ(ToDecimalWideText(9876), u"9876");
  EXPECT_EQ(ToHexText(0x46F), u"46F");
  EXPECT_EQ(ToHexText(-1), u"FFFFFFFF");
  EXPECT_EQ(ToHexText(0), u"0");
}

TEST(VersionText, TimeTexts) {
  std::time_t before = std::time(nullptr);
  std::string now = WideToUtf8(NowText());
  std::time_t after = std::time(nullptr);
  ASSERT_TRUE(std::regex_match(now, std::regex("[0-9]{14}"))) << now;
  auto format = [](std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y%m%d%H%M%S", &local);
    return std::string(buffer);
  };
  EXPECT_TRUE(now == format(before) || now == format(after)) << now;

  auto seconds = [](const std::string& url, const std::string& prefix) {
    EXPECT_EQ(url.compare(0, prefix.size(), prefix), 0) << url;
    return std::stoll(url.substr(prefix.size()));
  };
  long long t1 = seconds(AppendTimestampParam(std::string("http://h/p")), "http://h/p?_t=");
  long long t2 = seconds(WideToUtf8(AppendTimestampParam(std::u16string(u"http://h/p?a=1"))),
                         "http://h/p?a=1&_t=");
  EXPECT_GE(t1, before);
  EXPECT_LE(t2, std::time(nullptr));
}

TEST(VersionText, HttpUrls) {
  const std::pair<std::u16string, bool> cases[] = {
      {u"  https://a.b/ ", true}, {u"http://a", true},  {u"http://", false},
      {u"https://", false},       {u"https://x", true}, {u"ftp://host/file", false},
      {u"HTTP://host", false},    {u"", false},         {u"\thttp://x\r\n", true},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(IsHttpUrl(text), expected) << WideToUtf8(text);
}

TEST(VersionText, CommandLineTable) {
  CommandLineTable table;
  EXPECT_TRUE(
      ParseCommandLine(u"prog.exe HostLang=en HostLang=de flag Key=a=b \"Path=C:\\a b\"", table));
  EXPECT_EQ(table, (CommandLineTable{{u"prog.exe", u""},
                                     {u"HostLang", u"de"},
                                     {u"flag", u""},
                                     {u"Key", u"a=b"},
                                     {u"Path", u"C:\\a b"}}));

  CommandLineTable args;
  ParseArguments(
      {u"OnlyForkInstallDependent=1", u"onlyforkinstalldependent=2", u"=v", u"HostHwnd="}, args);
  EXPECT_EQ(args, (CommandLineTable{{u"OnlyForkInstallDependent", u"1"},
                                    {u"onlyforkinstalldependent", u"2"},
                                    {u"", u"v"},
                                    {u"HostHwnd", u""}}));
}

}  // namespace
