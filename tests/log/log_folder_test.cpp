// The log folder under the temporary folder: root writes its log there and deletes old logs
// there, so no level of it may be a link or a folder someone else can change.
#include "log/log_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "log/simple_log.h"
#include "platform/os/folders.h"
#include "support/other_user.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class ScopedTmpdir {
 public:
  explicit ScopedTmpdir(const std::string& value) {
    if (const char* old = getenv("TMPDIR")) old_ = old;
    setenv("TMPDIR", value.c_str(), 1);
  }
  ~ScopedTmpdir() {
    if (old_)
      setenv("TMPDIR", old_->c_str(), 1);
    else
      unsetenv("TMPDIR");
  }

 private:
  std::optional<std::string> old_;
};

// Old logs of root's elsewhere, more than the clean-up keeps: any run that cleaned up there
// would delete some.
void FillVictim(const std::string& folder) {
  for (int day = 1; day <= 7; ++day)
    WriteWholeFile(folder + "vtNUV_2026-01-0" + std::to_string(day) + ".log", "root's\n");
}

bool VictimIntact(const std::string& folder) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (ReadWholeFile(e.path().string()) != "root's\n") return false;
    ++n;
  }
  return n == 7;
}

void OpenLogAndWrite() {
  simpleLog log(ChooseLogFolder() + "vtNUV.log");
  log.Init();
  log.Log(3, "[INFO] start");
}

// As it was found: an ordinary user makes Veltrin/ in the shared temporary folder and links NUV
// to a folder of root's before root's first run.
TEST(LogFolder, AnotherUsersFolderInTheSharedTemporaryFolderIsNotUsed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  TempDir shared;
  ASSERT_EQ(chmod(shared.Path().c_str(), 01777), 0);
  TempDir victim;
  FillVictim(victim.Path());
  ASSERT_EQ(other_user::Shell("mkdir '" + shared.File("Veltrin") + "' && ln -s '" + victim.Path() +
                              "' '" + shared.File("Veltrin/NUV") + "'"),
            0);
  ScopedTmpdir tmp(shared.Path());

  OpenLogAndWrite();
  EXPECT_TRUE(VictimIntact(victim.Path()));
  EXPECT_EQ(ChooseLogFolder().rfind(nuv::os::TempFolder(), 0), 0u);
  EXPECT_NE(ReadWholeFile(ChooseLogFolder() + "vtNUV.log").find("[INFO] start"), std::string::npos);
}

// The same inside the private temporary folder, where a level is not what we made.
TEST(LogFolder, LevelThatIsNotOursGivesTheTemporaryFolderItself) {
  struct Case {
    const char* name;
    void (*plant)(const std::string& temp, const std::string& victim);
  } cases[] = {
      {"NUV a link",
       [](const std::string& temp, const std::string& victim) {
         fs::create_directories(temp + "Veltrin");
         fs::create_directory_symlink(victim, temp + "Veltrin/NUV");
       }},
      {"Veltrin a link",
       [](const std::string& temp, const std::string& victim) {
         fs::create_directory_symlink(victim, temp + "Veltrin");
       }},
      {"NUV another user's",
       [](const std::string& temp, const std::string&) {
         fs::create_directories(temp + "Veltrin/NUV");
         other_user::Give(temp + "Veltrin/NUV");
       }},
      {"Veltrin open to all",
       [](const std::string& temp, const std::string&) {
         fs::create_directories(temp + "Veltrin/NUV");
         chmod((temp + "Veltrin").c_str(), 0777);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir shared;
    ScopedTmpdir tmp(shared.Path());
    TempDir victim;
    FillVictim(victim.Path());
    const std::string temp = nuv::os::TempFolder();
    c.plant(temp, victim.Path());

    const LogFolderChoice choice = ChooseLogFolderWithReason();
    EXPECT_EQ(choice.folder, temp);
    EXPECT_FALSE(choice.refused.empty());
    OpenLogAndWrite();
    EXPECT_TRUE(VictimIntact(victim.Path()));
  }

  TempDir shared;
  ScopedTmpdir tmp(shared.Path());
  const LogFolderChoice fresh = ChooseLogFolderWithReason();
  EXPECT_EQ(fresh.folder, nuv::os::TempFolder() + "Veltrin/NUV/");
  EXPECT_TRUE(fresh.refused.empty());
  struct stat st {};
  ASSERT_EQ(lstat(fresh.folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
}

}  // namespace
