#include "platform/os/registry_store.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry_test_env.h"

namespace {

using nuv::os::Hive;
using nuv::os::RegistryStore;
using nuv::os::RegType;
using nuv::os::RegValue;
using nuv::os::View;
using Names = std::vector<std::u16string>;

constexpr Hive kLM = Hive::LocalMachine;
constexpr Hive kCU = Hive::CurrentUser;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

class RegistryStoreTest : public RegistryDirTest {
 protected:
  std::u16string QueryText(Hive hive, View view, const std::u16string& key,
                           const std::u16string& name) {
    RegValue v;
    if (!store().QueryValue(hive, view, key, name, &v) || v.type != RegType::Sz) return u"<none>";
    return v.text;
  }
  RegistryStore store() { return RegistryStore(); }
};

TEST_F(RegistryStoreTest, DatabasesFollowTheEnvironment) {
  EXPECT_EQ(RegistryStore().DatabasePath(kLM), dir_ + "/hklm.db");
  EXPECT_EQ(RegistryStore().DatabasePath(kCU), dir_ + "/hkcu.db");
  unsetenv("NUV_REGISTRY_DIR");
  RegistryStore system;
  EXPECT_EQ(system.DatabasePath(kLM), "/var/lib/nuv/registry.db");
  const std::string& user = system.DatabasePath(kCU);
  const std::string tail = "/.local/share/nuv/registry.db";
  ASSERT_GT(user.size(), tail.size());
  EXPECT_EQ(user.substr(user.size() - tail.size()), tail);
}

TEST_F(RegistryStoreTest, KeysAndValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
  RegistryStore reg;
  EXPECT_FALSE(reg.OpenKey(kLM, View::Default, u"Software\\Veltrin"));
  ASSERT_TRUE(reg.CreateKey(kLM, View::Default, u"Software\\Veltrin\\Capturo"));
  EXPECT_TRUE(reg.OpenKey(kLM, View::Default, u"SOFTWARE\\veltrin\\CAPTURO\\"));
  ASSERT_TRUE(reg.CreateKey(kLM, View::Default, u"software\\VELTRIN\\Motif"));
  ASSERT_TRUE(reg.CreateKey(kLM, View::Default, u"software\\VELTRIN\\capturo\\"));  // no twin

  Names subs;
  ASSERT_TRUE(reg.EnumSubKeys(kLM, View::Default, u"SOFTWARE\\VELTRIN", &subs));
  EXPECT_EQ(subs, (Names{u"Capturo", u"Motif"}));

  ASSERT_TRUE(reg.SetValue(kLM, View::Default, u"Software\\Veltrin\\Capturo", u"Version",
                           RegValue::Sz(u"1.0")));
  ASSERT_TRUE(reg.SetValue(kLM, View::Default, u"software\\veltrin\\capturo", u"VERSION",
                           RegValue::Sz(u"2.0")));
  EXPECT_EQ(QueryText(kLM, View::Default, u"Software\\Veltrin\\Capturo", u"version"), u"2.0");
  Names values;
  ASSERT_TRUE(reg.EnumValues(kLM, View::Default, u"Software\\Veltrin\\Capturo", &values));
  EXPECT_EQ(values, (Names{u"Version"}));
}

TEST_F(RegistryStoreTest, SubkeysAndValuesEnumerateInCreationOrder) {
  RegistryStore reg;
  for (const char16_t* name : {u"zeta", u"Alpha", u"mid"}) {
    ASSERT_TRUE(reg.CreateKey(kCU, View::Default, std::u16string(u"Order\\") + name));
    ASSERT_TRUE(reg.SetValue(kCU, View::Default, u"Order", name, RegValue::Dword(1)));
  }
  Names subs, values;
  ASSERT_TRUE(reg.EnumSubKeys(kCU, View::Default, u"Order", &subs));
  ASSERT_TRUE(reg.EnumValues(kCU, View::Default, u"Order", &values));
  EXPECT_EQ(subs, (Names{u"zeta", u"Alpha", u"mid"}));
  EXPECT_EQ(values, subs);
  ASSERT_TRUE(reg.EnumSubKeys(kCU, View::Default, u"", &subs));
  EXPECT_EQ(subs, (Names{u"Order"}));
  EXPECT_FALSE(reg.EnumSubKeys(kCU, View::Default, u"Missing", &subs));
}

TEST_F(RegistryStoreTest, ViewsAreApartUnderLocalMachineSoftwareOnly) {
  RegistryStore reg;
  const std::u16string key = u"Software\\Veltrin\\Capturo";
  ASSERT_TRUE(reg.CreateKey(kLM, View::Bit64, key));
  ASSERT_TRUE(reg.SetValue(kLM, View::Bit64, key, u"Where", RegValue::Sz(u"64")));
  EXPECT_FALSE(reg.OpenKey(kLM, View::Bit32, key));
  EXPECT_FALSE(reg.OpenKey(kLM, View::Default, key));

  ASSERT_TRUE(reg.CreateKey(kLM, View::Default, key));
  ASSERT_TRUE(reg.SetValue(kLM, View::Default, key, u"Where", RegValue::Sz(u"32")));
  EXPECT_EQ(QueryText(kLM, View::Bit32, key, u"Where"), u"32");
  EXPECT_EQ(QueryText(kLM, View::Bit64, key, u"Where"), u"64");
  // From either view, Wow6432Node names the 32-bit tree.
  EXPECT_EQ(QueryText(kLM, View::Bit64, u"SOFTWARE\\WOW6432Node\\Veltrin\\Capturo", u"Where"),
            u"32");

  // Outside HKLM\Software there is one tree for both views, as on Windows.
  ASSERT_TRUE(reg.CreateKey(kLM, View::Bit64, u"System\\Setup"));
  EXPECT_TRUE(reg.OpenKey(kLM, View::Bit32, u"System\\Setup"));
  ASSERT_TRUE(reg.CreateKey(kCU, View::Bit64, u"Software\\Veltrin"));
  EXPECT_TRUE(reg.OpenKey(kCU, View::Default, u"Software\\Veltrin"));

  // Each view sees its own "Software" and the shared keys at the root, once each.
  for (View view : {View::Bit32, View::Bit64}) {
    Names roots;
    ASSERT_TRUE(reg.EnumSubKeys(kLM, view, u"", &roots));
    EXPECT_EQ(roots, (Names{u"Software", u"System"}));
  }
}

TEST_F(RegistryStoreTest, ValuesRoundTripWithTheirTypes) {
  const std::u16string loneSurrogate(1, char16_t(0xD800));
  const RegValue bigEndian = [] {
    RegValue v = RegValue::Dword(0x01020304);
    v.type = RegType::DwordBigEndian;
    return v;
  }();
  const RegValue expand = [] {
    RegValue v = RegValue::Sz(u"%TEMP%\\x");
    v.type = RegType::ExpandSz;
    return v;
  }();
  const std::vector<RegValue> cases = {
      RegValue::Sz(u""),
      RegValue::Sz(u"Capturo \u4E2D\u6587 \U0001F600"),
      RegValue::Sz(u"a" + loneSurrogate + u"b"),
      expand,
      RegValue::Dword(0xFFFFFFFFu),
      bigEndian,
      RegValue::Qword(0xFFFFFFFFFFFFFFFFull),
      RegValue::MultiSz({}),
      RegValue::MultiSz({u"one", u"", u"\u4E09"}),
      RegValue::Binary(std::string("\0\x01\xFF", 3)),
      RegValue::Binary(""),
  };
  RegistryStore reg;
  ASSERT_TRUE(reg.CreateKey(kLM, View::Default, u"Software\\Types"));
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    // The default value ("") holds every type as well as a named one does.
    for (const std::u16string name : {u"", u"named"}) {
      ASSERT_TRUE(reg.SetValue(kLM, View::Default, u"Software\\Types", name, cases[i]));
      RegValue back;
      ASSERT_TRUE(reg.QueryValue(kLM, View::Default, u"Software\\Types", name, &back));
      EXPECT_EQ(back.type, cases[i].type);
      EXPECT_EQ(back.text, cases[i].text);
      EXPECT_EQ(back.texts, cases[i].texts);
      EXPECT_EQ(back.number, cases[i].number);
      EXPECT_EQ(back.bytes, cases[i].bytes);
    }
  }
}

TEST_F(RegistryStoreTest, SetValueNeedsAnExistingKeyAndRejectsUntypedValues) {
  RegistryStore reg;
  EXPECT_FALSE(reg.SetValue(kCU, View::Default, u"Nowhere", u"v", RegValue::Dword(1)));
  EXPECT_FALSE(reg.OpenKey(kCU, View::Default, u"Nowhere"));
  ASSERT_TRUE(reg.CreateKey(kCU, View::Default, u"Here"));
  EXPECT_FALSE(reg.SetValue(kCU, View::Default, u"Here", u"v", RegValue{}));
  EXPECT_FALSE(reg.SetValue(kCU, View::Default, u"", u"v", RegValue::Dword(1)));  // the root
  EXPECT_FALSE(reg.QueryValue(kCU, View::Default, u"Here", u"v", nullptr));
}

TEST_F(RegistryStoreTest, InvalidPathsFailEverywhere) {
  RegistryStore reg;
  const std::u16string longest(255, u'k');
  EXPECT_TRUE(reg.CreateKey(kCU, View::Default, u"A\\" + longest));
  for (const std::u16string& bad :
       {std::u16string(u"A\\\\B"), std::u16string(u"\\A"), u"A\\" + longest + u"k"}) {
    EXPECT_FALSE(reg.CreateKey(kCU, View::Default, bad));
    EXPECT_FALSE(reg.OpenKey(kCU, View::Default, bad));
  }
  Names subs;
  ASSERT_TRUE(reg.EnumSubKeys(kCU, View::Default, u"A", &subs));
  EXPECT_EQ(subs, Names{longest});
}

TEST_F(RegistryStoreTest, DeleteValueAndDeleteKeyTree) {
  RegistryStore reg;
  ASSERT_TRUE(reg.CreateKey(kLM, View::Default, u"Software\\A\\B\\C"));
  ASSERT_TRUE(reg.CreateKey(kLM, View::Default, u"Software\\A\\BC"));
  ASSERT_TRUE(reg.SetValue(kLM, View::Default, u"Software\\A\\B", u"x", RegValue::Dword(1)));
  ASSERT_TRUE(reg.SetValue(kLM, View::Default, u"Software\\A\\B\\C", u"y", RegValue::Dword(2)));
  ASSERT_TRUE(reg.SetValue(kLM, View::Default, u"Software\\A\\BC", u"z", RegValue::Dword(3)));
  ASSERT_TRUE(reg.CreateKey(kLM, View::Bit64, u"Software\\A\\B"));

  EXPECT_TRUE(reg.DeleteValue(kLM, View::Default, u"Software\\A\\BC", u"Z"));
  EXPECT_FALSE(reg.DeleteValue(kLM, View::Default, u"Software\\A\\BC", u"z"));
  EXPECT_FALSE(reg.QueryValue(kLM, View::Default, u"Software\\A\\BC", u"z", nullptr));
  ASSERT_TRUE(reg.SetValue(kLM, View::Default, u"Software\\A\\BC", u"z", RegValue::Dword(3)));

  EXPECT_TRUE(reg.DeleteKey(kLM, View::Default, u"software\\a\\b"));
  EXPECT_FALSE(reg.OpenKey(kLM, View::Default, u"Software\\A\\B"));
  EXPECT_FALSE(reg.OpenKey(kLM, View::Default, u"Software\\A\\B\\C"));
  EXPECT_TRUE(reg.OpenKey(kLM, View::Bit64, u"Software\\A\\B"));  // the other view stays
  EXPECT_TRUE(reg.QueryValue(kLM, View::Default, u"Software\\A\\BC", u"z", nullptr));
  Names subs;
  ASSERT_TRUE(reg.EnumSubKeys(kLM, View::Default, u"Software\\A", &subs));
  EXPECT_EQ(subs, Names{u"BC"});

  // A key made again under the same name starts empty.
  ASSERT_TRUE(reg.CreateKey(kLM, View::Default, u"Software\\A\\B\\C"));
  EXPECT_FALSE(reg.QueryValue(kLM, View::Default, u"Software\\A\\B", u"x", nullptr));
  EXPECT_FALSE(reg.QueryValue(kLM, View::Default, u"Software\\A\\B\\C", u"y", nullptr));

  EXPECT_FALSE(reg.DeleteKey(kLM, View::Default, u"Software\\Missing"));
  EXPECT_FALSE(reg.DeleteKey(kLM, View::Default, u""));
}

TEST_F(RegistryStoreTest, MissingDatabaseReadsAsEmptyAndIsCreatedByTheFirstWrite) {
  const std::string nested = dir_ + "/deeper/still";
  RegistryStore reg(nested + "/hklm.db", nested + "/hkcu.db");
  EXPECT_FALSE(reg.OpenKey(kLM, View::Default, u""));
  EXPECT_FALSE(reg.EnumSubKeys(kLM, View::Default, u"", nullptr));
  EXPECT_FALSE(reg.QueryValue(kLM, View::Default, u"Software", u"", nullptr));
  EXPECT_FALSE(reg.DeleteKey(kLM, View::Default, u"Software"));
  EXPECT_FALSE(reg.DeleteValue(kLM, View::Default, u"Software", u"v"));
  EXPECT_FALSE(Exists(nested));

  ASSERT_TRUE(reg.CreateKey(kLM, View::Default, u"Software\\Veltrin"));
  EXPECT_TRUE(Exists(nested + "/hklm.db"));
  EXPECT_FALSE(Exists(nested + "/hkcu.db"));
  EXPECT_TRUE(reg.OpenKey(kLM, View::Default, u"Software\\Veltrin"));
}

TEST_F(RegistryStoreTest, CorruptDatabaseIsNotFoundForReadsFailsWritesAndStaysAsItWas) {
  const std::string path = dir_ + "/hklm.db";
  std::string garbage(8192, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 131 + 7) % 251);
  {
    std::ofstream out(path, std::ios::binary);
    out << garbage;
  }
  RegistryStore reg;
  EXPECT_FALSE(reg.OpenKey(kLM, View::Default, u""));
  EXPECT_FALSE(reg.EnumSubKeys(kLM, View::Default, u"", nullptr));
  EXPECT_FALSE(reg.QueryValue(kLM, View::Default, u"Software", u"", nullptr));
  EXPECT_FALSE(reg.CreateKey(kLM, View::Default, u"Software\\Veltrin"));
  EXPECT_FALSE(reg.SetValue(kLM, View::Default, u"Software", u"v", RegValue::Dword(1)));
  EXPECT_FALSE(reg.DeleteKey(kLM, View::Default, u"Software"));
  EXPECT_EQ(ReadFile(path), garbage);
  // The other hive is a file of its own and unaffected.
  EXPECT_TRUE(reg.CreateKey(kCU, View::Default, u"Software"));
}

TEST_F(RegistryStoreTest, ThreadsWriteAndReadAtOnce) {
  constexpr int kThreads = 4;
  constexpr int kWrites = 25;
  ASSERT_TRUE(RegistryStore().CreateKey(kLM, View::Default, u"Software\\Shared"));
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      RegistryStore reg;
      const std::u16string own = u"Software\\Shared\\T" + std::u16string(1, char16_t(u'0' + t));
      if (!reg.CreateKey(kLM, View::Default, own)) ++failures;
      for (int i = 0; i < kWrites; ++i) {
        if (!reg.SetValue(kLM, View::Default, own, u"n", RegValue::Dword(i))) ++failures;
        if (!reg.SetValue(kLM, View::Default, u"Software\\Shared", own, RegValue::Dword(i))) {
          ++failures;
        }
        if (!reg.QueryValue(kLM, View::Default, own, u"n", nullptr)) ++failures;
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
  Names subs, values;
  ASSERT_TRUE(RegistryStore().EnumSubKeys(kLM, View::Default, u"Software\\Shared", &subs));
  ASSERT_TRUE(RegistryStore().EnumValues(kLM, View::Default, u"Software\\Shared", &values));
  EXPECT_EQ(subs.size(), size_t(kThreads));
  EXPECT_EQ(values.size(), size_t(kThreads));
}

// A child writes values one transaction at a time and reports each commit through a pipe; it is
// killed while it goes on. Everything it reported must be there, and the database must stay usable.
TEST_F(RegistryStoreTest, CommittedWritesSurviveAKilledWriter) {
  constexpr int kCommitsBeforeKill = 40;
  constexpr int kMaxWrites = 100000;
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipeFds[0]);
    // The parent has not opened this database, so the child may.
    RegistryStore reg;
    if (!reg.CreateKey(kLM, View::Default, u"Software\\Durable")) _exit(3);
    for (int i = 0; i < kMaxWrites; ++i) {
      const std::u16string key =
          u"Software\\Durable\\K" + std::u16string(1, char16_t(u'a' + i % 26));
      const bool ok = reg.CreateKey(kLM, View::Default, key) &&
                      reg.SetValue(kLM, View::Default, u"Software\\Durable",
                                   u"v" + std::u16string(1, char16_t(0x4E00 + i)),
                                   RegValue::MultiSz({u"x", std::u16string(200, u'y')}));
      const int32_t report = ok ? i : -1;
      if (write(pipeFds[1], &report, sizeof report) != sizeof report) _exit(2);
    }
    _exit(0);
  }
  close(pipeFds[1]);
  int committed = -1;
  bool failed = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (committed + 1 < kCommitsBeforeKill && std::chrono::steady_clock::now() < deadline) {
    pollfd pfd{pipeFds[0], POLLIN, 0};
    if (poll(&pfd, 1, 1000) <= 0) continue;
    int32_t report;
    if (read(pipeFds[0], &report, sizeof report) != sizeof report) break;
    if (report < 0)
      failed = true;
    else
      committed = report;
  }
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(pipeFds[0]);
  ASSERT_FALSE(failed);
  ASSERT_EQ(committed + 1, kCommitsBeforeKill);

  RegistryStore reg;
  for (int i = 0; i <= committed; ++i) {
    RegValue v;
    ASSERT_TRUE(reg.QueryValue(kLM, View::Default, u"Software\\Durable",
                               u"v" + std::u16string(1, char16_t(0x4E00 + i)), &v))
        << i;
    EXPECT_EQ(v.texts.size(), 2u);
  }
  EXPECT_TRUE(reg.SetValue(kLM, View::Default, u"Software\\Durable", u"after", RegValue::Dword(1)));
}

}  // namespace
