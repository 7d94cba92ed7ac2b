#include "platform/process_launch.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "http/log_capture.h"
#include "platform/folder_utils.h"
#include "platform/os/cmdline_split.h"
#include "platform/os_test_env.h"
#include "platform/process_test_util.h"
#include "support/temp_dir.h"
#include "xml/utf.h"

using namespace std::chrono_literals;

namespace {

std::u16string W(const std::string& s) {
  return Utf8ToWide(s);
}

TEST(RunExeTest, ReturnsTheProgramsExitCode) {
  TempDir dir;
  std::string script = WriteScript(dir, "exit.sh", "exit \"$1\"");
  for (int code : {0, 3, 5, 255}) {
    EXPECT_EQ(platform::RunExe(W(script), W(std::to_string(code)), false), code) << code;
  }
}

TEST(RunExeTest, ArgumentsArriveIntactWithoutAShell) {
  TempDir dir;
  std::string out = dir.File("args.txt");
  std::string script =
      WriteScript(dir, "args.sh", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > " + out);
  const std::vector<std::string> args = {
      "plain",
      "with space",
      "quote\"inside",
      "a;b|c&d",
      "$(touch " + dir.File("pwned") + ")",
      "back\\slash\\",
      "",
  };
  std::u16string params;
  for (const std::string& a : args) params += nuv::os::QuoteArgument(W(a)) + u" ";
  ASSERT_EQ(platform::RunExe(W(script), params, false), 0);
  std::string expected;
  for (const std::string& a : args) expected += a + "\n";
  EXPECT_EQ(ReadWholeFile(out), expected);
  EXPECT_FALSE(std::filesystem::exists(dir.File("pwned")));
}

TEST(RunExeTest, SwitchesOfAnInstallerCommandLine) {
  TempDir dir;
  std::string out = dir.File("args.txt");
  std::string script =
      WriteScript(dir, "args.sh", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > " + out);
  ASSERT_EQ(platform::RunExe(W(script),
                             u"/VERYSILENT /NOPAGE /LANG=en /LOG=\"/tmp/a b/NUV-1.log\" "
                             u"/installpath: \"/opt/V C/\" /DIR=\"/opt/V C/\" /NUVWIN=1A2B",
                             false),
            0);
  EXPECT_EQ(ReadWholeFile(out),
            "/VERYSILENT\n/NOPAGE\n/LANG=en\n/LOG=/tmp/a b/NUV-1.log\n/installpath:\n/opt/V C/\n"
            "/DIR=/opt/V C/\n/NUVWIN=1A2B\n");
}

TEST(RunExeTest, FileIsHeldOpenWhileTheProgramRuns) {
  TempDir dir;
  std::string script = WriteScript(
      dir, "held.sh",
      "for f in /proc/$PPID/fd/*; do [ \"$(readlink \"$f\")\" = \"$0\" ] && exit 7; done; exit 0");
  EXPECT_EQ(platform::RunExe(W(script), u"", false), 7);
}

TEST(RunExeTest, LaunchFailuresAreMinusOneWithOneErrorLine) {
  TempDir dir;
  std::string plain = dir.File("not-executable");
  WriteWholeFile(plain, "data");
  struct Case {
    std::string path;
    bool skip;
    int err;
  } cases[] = {
      {dir.File("missing.exe"), false, ENOENT},
      {plain, false, EACCES},
      {"no-such-program-anywhere", true, ENOENT},
  };
  for (const Case& c : cases) {
    LogCapture log;
    EXPECT_EQ(platform::RunExe(W(c.path), u"", c.skip), -1) << c.path;
    EXPECT_EQ(log.Count("[ERROR] RunExe failed! err=[" + std::to_string(c.err) + "]"), 1)
        << log.Text();
    EXPECT_EQ(log.Count("RunExe ret="), 0);
  }
}

TEST(RunExeTest, LogsTheRun) {
  TempDir dir;
  std::string script = WriteScript(dir, "exit.sh", "exit 3");
  LogCapture log;
  EXPECT_EQ(platform::RunExe(W(script), u"/A /B", false), 3);
  std::string text = log.Text();
  EXPECT_NE(
      text.find("[INFO] RunExe: \n path=[" + script + "] \n param=[/A /B] \n hide=[0], block=[1]."),
      std::string::npos)
      << text;
  EXPECT_EQ(log.Count("[INFO] RunExe ret=[3]."), 1);
}

TEST(RunHiddenTest, SuccessIsExitCodeZeroWithStdioOnDevNull) {
  TempDir dir;
  std::string devnull = WriteScript(
      dir, "null.sh",
      "[ \"$(readlink /proc/self/fd/0)\" = /dev/null ] && [ \"$(readlink /proc/$$/fd/1)\" = "
      "/dev/null ] && [ \"$(readlink /proc/$$/fd/2)\" = /dev/null ]");
  std::string fail = WriteScript(dir, "fail.sh", "exit 1");
  EXPECT_TRUE(platform::RunHidden(W(devnull)));
  EXPECT_FALSE(platform::RunHidden(W(fail)));
  EXPECT_FALSE(platform::RunHidden(W(dir.File("missing"))));
  EXPECT_FALSE(platform::RunHidden(u""));
  EXPECT_TRUE(platform::RunHidden(u"true"));  // looked up on PATH
}

TEST(RunHiddenTest, CommandLineOf260CharactersIsRefused) {
  TempDir dir;
  std::string script = WriteScript(dir, "ok.sh", "exit 0");
  std::u16string line = W(script) + u" ";
  std::u16string padded = line + std::u16string(259 - line.size(), u'x');
  EXPECT_TRUE(platform::RunHidden(padded));
  EXPECT_FALSE(platform::RunHidden(padded + u"x"));
}

TEST(RunHiddenTest, HangingCommandAndItsChildrenAreKilledAtTheLimit) {
  TempDir dir;
  std::string pids = dir.File("pids");
  std::string script = WriteScript(dir, "hang.sh", "sleep 60 & echo $$ $! > " + pids + "\nwait");
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(platform::RunHidden(W(script), 300ms));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
  pid_t shell = 0, child = 0;
  ASSERT_EQ(std::sscanf(ReadWholeFile(pids).c_str(), "%d %d", &shell, &child), 2);
  EXPECT_TRUE(ProcessGone(shell));
  EXPECT_TRUE(WaitUntil([&] { return ProcessGone(child); }));
}

TEST(StartProcessTest, StartsDetachedWithTheSplitCommandLine) {
  TempDir dir;
  std::string out = dir.File("out");
  std::string script = WriteScript(
      dir, "fork.sh", "printf '%s|' \"$@\" > " + out + ".tmp; mv " + out + ".tmp " + out);
  EXPECT_TRUE(platform::StartProcess(
      u"\"" + W(script) + u"\" OnlyForkInstallDependent=1 HostLang=zh-CN HostHwnd=6699", true));
  ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(out); }));
  EXPECT_EQ(ReadWholeFile(out), "OnlyForkInstallDependent=1|HostLang=zh-CN|HostHwnd=6699|");
  EXPECT_FALSE(platform::StartProcess(W(dir.File("missing")), true));
}

class ShellOpenTest : public ::testing::Test {
 protected:
  TempDir dir_;
  ScopedEnv sudo_{"SUDO_USER", std::nullopt};
};

TEST_F(ShellOpenTest, UrlsAndDocumentsGoToXdgOpen) {
  std::string out = dir_.File("opened");
  std::string bin = dir_.File("bin");
  std::filesystem::create_directory(bin);
  TempDir scripts;
  WriteWholeFile(bin + "/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > " + out + ".tmp; mv " + out +
                                        ".tmp " + out + "\n");
  chmod((bin + "/xdg-open").c_str(), 0755);
  {
    ScopedEnv path("PATH", bin + ":/usr/bin:/bin");
    const std::string url = "https://example.test/a?b=1&c=\"2\";x";
    EXPECT_EQ(platform::ShellOpen(W(url), u"", u""), platform::kShellOk);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(out); }));
    EXPECT_EQ(ReadWholeFile(out), url);
  }
  {
    ScopedEnv path("PATH", dir_.File("empty"));
    EXPECT_EQ(platform::ShellOpen(u"https://example.test/", u"", u""),
              platform::kShellNoAssociation);
  }
  EXPECT_EQ(platform::ShellOpen(W(dir_.File("missing.txt")), u"", u""),
            platform::kShellFileNotFound);
}

TEST_F(ShellOpenTest, ExecutableStartsWithParametersInItsWorkingFolder) {
  std::string out = dir_.File("ran");
  std::string script = WriteScript(
      dir_, "prog.sh",
      "printf '%s|%s|%s' \"$(pwd)\" \"$1\" \"$2\" > " + out + ".tmp; mv " + out + ".tmp " + out);
  std::string work = dir_.File("work dir");
  std::filesystem::create_directory(work);
  EXPECT_EQ(platform::ShellOpen(W(script), u"-startmodel:floatmode \"a b\"", W(work)),
            platform::kShellOk);
  ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(out); }));
  EXPECT_EQ(ReadWholeFile(out), dir_.Path() + "work dir|-startmodel:floatmode|a b");
}

TEST_F(ShellOpenTest, RunsAsTheDesktopUserNeverAsRoot) {
  passwd* nobody = getpwnam("nobody");
  if (geteuid() != 0 || !nobody) GTEST_SKIP() << "needs root and the user nobody";
  chmod(dir_.Path().c_str(), 0777);
  std::string out = dir_.File("who");
  std::string script = WriteScript(
      dir_, "who.sh",
      "printf '%s %s %s|%s|%s|%s' \"$(id -u)\" \"$(id -g)\" \"$(id -G)\" \"$HOME\" \"$USER\" "
      "\"${SUDO_USER:-none}\" > " +
          out + ".tmp; mv " + out + ".tmp " + out);
  ScopedEnv sudo("SUDO_USER", "nobody");
  EXPECT_EQ(platform::ShellOpen(W(script), u"", u""), platform::kShellOk);
  ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(out); }));
  std::string uid = std::to_string(nobody->pw_uid), gid = std::to_string(nobody->pw_gid);
  std::string who = ReadWholeFile(out);
  EXPECT_EQ(who.substr(0, who.find(' ')), uid) << who;
  EXPECT_NE(who.find("|" + std::string(nobody->pw_dir) + "|nobody|none"), std::string::npos) << who;
  // No supplementary group of root survives the drop.
  EXPECT_EQ(who.find(" 0 "), std::string::npos) << who;
  EXPECT_EQ(who.find(" 0|"), std::string::npos) << who;
}

class DesktopShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directory(desktop_); }
  std::string Entry(const std::string& name) { return desktop_ + "/" + name + ".desktop"; }

  TempDir home_;
  ScopedEnv sudo_{"SUDO_USER", std::nullopt};
  ScopedEnv homeEnv_{"HOME", home_.Path()};
  ScopedEnv config_{"XDG_CONFIG_HOME", std::nullopt};
  std::string desktop_ = home_.File("Desktop");
};

TEST_F(DesktopShortcutTest, CreatesAndRemovesAnEntry) {
  ASSERT_TRUE(platform::CreateDesktopShortcut(u"Setup.exe", u"/srv/Dl/"));
  std::string text = ReadWholeFile(Entry("Setup.exe"));
  EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
  EXPECT_NE(text.find("\nExec=\"/srv/Dl/Setup.exe\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nPath=/srv/Dl\n"), std::string::npos) << text;
  struct stat st;
  ASSERT_EQ(stat(Entry("Setup.exe").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  EXPECT_TRUE(platform::DeleteDesktopShortcut(u"Setup.exe"));
  EXPECT_FALSE(std::filesystem::exists(Entry("Setup.exe")));
  EXPECT_FALSE(platform::DeleteDesktopShortcut(u"Setup.exe"));
}

TEST_F(DesktopShortcutTest, ExecValueSurvivesSpecialCharacters) {
  ASSERT_TRUE(platform::CreateDesktopShortcut(u"a\"b$c%d.run", u"/srv/x y\\z"));
  std::string text = ReadWholeFile(Entry("a\"b$c%d.run"));
  // Quoted, '"' '$' '\' escaped for the argument, '%' doubled, then '\' doubled for the value.
  EXPECT_NE(text.find("\nExec=\"/srv/x y\\\\\\\\z/a\\\\\"b\\\\$c%%d.run\"\n"), std::string::npos)
      << text;
}

TEST_F(DesktopShortcutTest, RefusesLineBreaksAndSymbolicLinks) {
  EXPECT_FALSE(platform::CreateDesktopShortcut(u"x\nExec=evil", u"/srv"));
  EXPECT_FALSE(platform::CreateDesktopShortcut(u"ok", u"/srv\n[Desktop Entry]"));
  std::string victim = home_.File("victim");
  WriteWholeFile(victim, "keep");
  std::filesystem::create_symlink(victim, Entry("link"));
  EXPECT_FALSE(platform::CreateDesktopShortcut(u"link", u"/srv"));
  EXPECT_EQ(ReadWholeFile(victim), "keep");
}

TEST_F(DesktopShortcutTest, OwnShortcutIsNamedAfterTheRunningProgram) {
  std::u16string own = platform::GetModuleFileName();
  ASSERT_TRUE(platform::CreateDesktopShortcut(own, u"/srv/Dl"));
  EXPECT_TRUE(std::filesystem::exists(Entry(WideToUtf8(own))));
  EXPECT_TRUE(platform::DeleteOwnDesktopShortcut());
  EXPECT_FALSE(std::filesystem::exists(Entry(WideToUtf8(own))));
  EXPECT_FALSE(platform::DeleteOwnDesktopShortcut());
}

}  // namespace
