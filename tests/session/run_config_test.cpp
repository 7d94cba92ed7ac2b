#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "session/config_number.h"
#include "session/nuv_mgr.h"
#include "session/session_env.h"
#include "xml/utf.h"

namespace {

class RunConfigTest : public SessionEnvTest {
 protected:
  void SetUp() override {
    SessionEnvTest::SetUp();
    mgr_.configFolder = Utf8ToWide(Root());
    mgr_.runConfigPath = Utf8ToWide(Path());
  }
  std::string Path() const { return Root() + "NUV_DOWNTASK_10707.xml"; }

  NuvMgr mgr_;
};

TEST_F(RunConfigTest, WriteThenReadGivesTheSameMembersAndTheExactText) {
  mgr_.Status = u"1";
  mgr_.JoinExp = u"";
  mgr_.SelectLang = u"DEU";
  mgr_.InstallPath = u"/opt/Veltrin & Co/<Capturo>";
  mgr_.AgreeExtInstall = u"1";
  mgr_.TmpPackagePath = u"/var/lib/Veltrin/capturo-setup.run.~P2S";
  mgr_.WriteRunConfig();

  EXPECT_EQ(ReadWholeFile(Path()),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<config>\r\n"
            "<Status>1</Status>\r\n"
            "<JoinExp/>\r\n"
            "<SelectLang>DEU</SelectLang>\r\n"
            "<InstallPath>/opt/Veltrin &amp; Co/&lt;Capturo&gt;</InstallPath>\r\n"
            "<AgreeExtInstall>1</AgreeExtInstall>\r\n"
            "<TmpPackagePath>/var/lib/Veltrin/capturo-setup.run.~P2S</TmpPackagePath>\r\n"
            "</config>\r\n");
  EXPECT_TRUE(Logged("[INFO] WriteRunConfig"));
  EXPECT_FALSE(std::filesystem::exists(Path() + ".tmp"));

  NuvMgr read;
  read.runConfigPath = mgr_.runConfigPath;
  read.AgreeExtInstall = u"changed";
  read.ReadRunConfig();
  EXPECT_TRUE(Logged("[INFO] ReadRunConfig"));
  EXPECT_EQ(read.Status, u"1");
  EXPECT_EQ(read.JoinExp, u"");
  EXPECT_EQ(read.SelectLang, u"DEU");
  EXPECT_EQ(read.InstallPath, mgr_.InstallPath);
  EXPECT_EQ(read.AgreeExtInstall, u"1");
  EXPECT_EQ(read.TmpPackagePath, mgr_.TmpPackagePath);
  EXPECT_TRUE(read.resumeDownload);
}

TEST_F(RunConfigTest, StatusDecidesTheResumeFlagAndMissingChildrenKeepDefaults) {
  struct Case {
    const char* status;
    bool resume;
  };
  for (const Case& c : {Case{"1", true}, Case{"01", true}, Case{"0", false}, Case{"2", false},
                        Case{"yes", false}, Case{"", false}}) {
    WriteWholeFile(Path(), std::string("<config><Status>") + c.status + "</Status></config>");
    NuvMgr read;
    read.runConfigPath = mgr_.runConfigPath;
    read.ReadRunConfig();
    EXPECT_EQ(read.resumeDownload, c.resume) << c.status;
    EXPECT_EQ(read.Status, Utf8ToWide(c.status));
    EXPECT_EQ(read.AgreeExtInstall, u"1");
    EXPECT_EQ(read.SelectLang, u"");
  }
}

TEST_F(RunConfigTest, MissingOrBrokenFilesKeepTheDefaults) {
  const std::string full =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\r\n<Status>1</Status>\r\n"
      "<SelectLang>DEU</SelectLang>\r\n</config>\r\n";
  const std::string broken[] = {
      "",                                   // empty
      "\x01\xff garbage \xfe",              // not XML
      full.substr(0, full.size() / 2),      // cut off in the middle
      "<other><Status>1</Status></other>",  // another root
  };
  {
    NuvMgr read;
    read.runConfigPath = mgr_.runConfigPath;  // no file at all
    read.ReadRunConfig();
    EXPECT_EQ(read.Status, u"0");
    EXPECT_EQ(read.AgreeExtInstall, u"1");
    EXPECT_FALSE(read.resumeDownload);
  }
  for (const std::string& text : broken) {
    WriteWholeFile(Path(), text);
    NuvMgr read;
    read.runConfigPath = mgr_.runConfigPath;
    read.ReadRunConfig();
    EXPECT_EQ(read.Status, u"0") << text;
    EXPECT_EQ(read.SelectLang, u"") << text;
    EXPECT_EQ(read.AgreeExtInstall, u"1") << text;
    EXPECT_FALSE(read.resumeDownload) << text;
  }
}

// Something else under the file's name: a folder (which once aborted the program), a FIFO (which
// would hold it at the open), a link (root would read wherever it points). None is read.
TEST_F(RunConfigTest, ANameThatIsNotARegularFileKeepsTheDefaults) {
  const std::string valid = Root() + "elsewhere.xml";
  WriteWholeFile(valid, "<config><Status>1</Status><SelectLang>DEU</SelectLang></config>");
  struct Case {
    const char* name;
    void (*make)(const std::string& path, const std::string& valid);
  } cases[] = {
      {"folder", [](const std::string& path,
                    const std::string&) { std::filesystem::create_directory(path); }},
      {"FIFO", [](const std::string& path, const std::string&) { mkfifo(path.c_str(), 0600); }},
      {"link", [](const std::string& path,
                  const std::string& target) { std::filesystem::create_symlink(target, path); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Path());
    c.make(Path(), valid);
    NuvMgr read;
    read.runConfigPath = mgr_.runConfigPath;
    read.ReadRunConfig();
    EXPECT_EQ(read.Status, u"0");
    EXPECT_EQ(read.SelectLang, u"");
    EXPECT_EQ(read.AgreeExtInstall, u"1");
    EXPECT_FALSE(read.resumeDownload);
  }
  EXPECT_EQ(CountLogged("[WARN] ReadRunConfig, file=[" + Path() + "] is not a readable file."), 3);
}

// The file and its temporary twin are written as new files of ours, never through a link.
TEST_F(RunConfigTest, WritingNeverGoesThroughALink) {
  const std::string victim = Root() + "victim";
  for (const std::string& name : {Path(), Path() + ".tmp"}) {
    SCOPED_TRACE(name);
    WriteWholeFile(victim, "root's");
    std::filesystem::remove(Path());
    std::filesystem::create_symlink(victim, name);
    mgr_.Status = u"1";
    mgr_.WriteRunConfig();
    EXPECT_EQ(ReadWholeFile(victim), "root's");
    std::filesystem::remove(Path() + ".tmp");
  }
}

TEST_F(RunConfigTest, ForkModeNeverWritesOrDeletes) {
  WriteWholeFile(Path(), "previous");
  mgr_.forkMode = true;
  mgr_.Status = u"1";
  mgr_.resumeDownload = true;
  mgr_.WriteRunConfig();
  EXPECT_EQ(ReadWholeFile(Path()), "previous");
  mgr_.DeleteRunConfig();
  EXPECT_EQ(ReadWholeFile(Path()), "previous");
  EXPECT_FALSE(mgr_.resumeDownload);
  EXPECT_FALSE(Logged("WriteRunConfig"));
}

TEST_F(RunConfigTest, DeleteClearsTheFlagAndRemovesTheFile) {
  mgr_.WriteRunConfig();
  ASSERT_TRUE(std::filesystem::exists(Path()));
  mgr_.resumeDownload = true;
  mgr_.DeleteRunConfig();
  EXPECT_FALSE(mgr_.resumeDownload);
  EXPECT_FALSE(std::filesystem::exists(Path()));
}

// The engine's callback thread and the window's download thread both write the file.
TEST_F(RunConfigTest, ConcurrentWritersLeaveAWholeFile) {
  auto writer = [this](const char16_t* path) {
    for (int i = 0; i < 20; ++i) {
      {
        std::lock_guard<std::mutex> hold(mgr_.runConfigLock);
        mgr_.TmpPackagePath = path;
      }
      mgr_.WriteRunConfig();
    }
  };
  std::thread a(writer, u"/a.~P2S");
  std::thread b(writer, u"/b.~P2S");
  a.join();
  b.join();

  NuvMgr read;
  read.runConfigPath = mgr_.runConfigPath;
  read.ReadRunConfig();
  EXPECT_TRUE(read.TmpPackagePath == u"/a.~P2S" || read.TmpPackagePath == u"/b.~P2S");
  EXPECT_EQ(ReadWholeFile(Path()).find("</config>\r\n"), ReadWholeFile(Path()).size() - 11);
}

TEST_F(RunConfigTest, WithoutAPathNothingIsReadOrWritten) {
  NuvMgr none;
  none.ReadRunConfig();
  none.WriteRunConfig();
  EXPECT_FALSE(Logged("RunConfig"));
}

TEST(ConfigNumber, DecimalValueReadsLikeTheCLibrary) {
  struct Case {
    const char16_t* text;
    int64_t value;
  };
  const Case cases[] = {
      {u"01", 1},  {u"  42abc", 42}, {u"-7", -7}, {u"+3", 3},
      {u"abc", 0}, {u"", 0},         {u"1 2", 1}, {u"99999999999999999999", INT64_MAX}};
  for (const Case& c : cases) EXPECT_EQ(DecimalValue(c.text), c.value) << WideToUtf8(c.text);
}

}  // namespace
