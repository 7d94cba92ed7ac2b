#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "os_test_env.h"
#include "platform/os/folders.h"
#include "support/other_user.h"
#include "support/temp_dir.h"

namespace {

TEST(OsFolders, SharedTempFolderAlwaysEndsInASlash) {
  const std::pair<std::optional<std::string>, std::string> cases[] = {{std::nullopt, "/tmp/"},
                                                                      {"", "/tmp/"},
                                                                      {"/var/tmp", "/var/tmp/"},
                                                                      {"/var/tmp/", "/var/tmp/"}};
  for (const auto& [value, expected] : cases) {
    ScopedEnv tmp("TMPDIR", value);
    EXPECT_EQ(nuv::os::SharedTempFolder(), expected);
  }
}

// What another user may have left under the private folder's name in the shared temporary folder
// before root starts; only a folder of our own that nobody else can write is used.
struct PlantedTemp {
  const char* name;
  void (*plant)(const std::string& usual, const std::string& victim);
  bool reused;
};

const PlantedTemp kPlantedTemps[] = {
    {"nothing", [](const std::string&, const std::string&) {}, true},
    {"own folder", [](const std::string& usual, const std::string&) { mkdir(usual.c_str(), 0700); },
     true},
    {"own folder readable by all",
     [](const std::string& usual, const std::string&) {
       mkdir(usual.c_str(), 0700);
       chmod(usual.c_str(), 0755);
     },
     true},
    {"other user's folder",
     [](const std::string& usual, const std::string&) {
       mkdir(usual.c_str(), 0700);
       other_user::Give(usual);
     },
     false},
    {"link to root's folder",
     [](const std::string& usual, const std::string& victim) {
       symlink(victim.c_str(), usual.c_str());
     },
     false},
    {"own folder open to all",
     [](const std::string& usual, const std::string&) {
       mkdir(usual.c_str(), 0700);
       chmod(usual.c_str(), 0777);
     },
     false},
    {"file", [](const std::string& usual, const std::string&) { WriteWholeFile(usual, "x"); },
     false},
};

TEST(OsFolders, PrivateTempFolderIsOursAloneWhateverWasPlanted) {
  for (const PlantedTemp& c : kPlantedTemps) {
    SCOPED_TRACE(c.name);
    TempDir shared;
    ASSERT_EQ(chmod(shared.Path().c_str(), 01777), 0);  // as /tmp
    TempDir victim;
    WriteWholeFile(victim.File("secret"), "root's");
    const std::string usual = shared.Path() + "nuv-" + std::to_string(geteuid());
    c.plant(usual, victim.Path());
    ScopedEnv tmp("TMPDIR", shared.Path());

    const nuv::os::TempFolderChoice choice = nuv::os::ChooseTempFolder();
    EXPECT_EQ(choice.folder == usual + "/", c.reused) << choice.folder;
    EXPECT_EQ(choice.refused.empty(), c.reused) << choice.why;
    EXPECT_EQ(choice.folder.rfind(usual, 0), 0u) << choice.folder;
    struct stat st {};
    ASSERT_EQ(lstat(choice.folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(nuv::os::TempFolder(), choice.folder) << "one folder for the whole process";
    EXPECT_EQ(ReadWholeFile(victim.File("secret")), "root's");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(victim.Path()), {}), 1)
        << "nothing was made in the link's target";
  }
}

TEST(OsFolders, SystemFoldersHonourTheRootPrefix) {
  {
    ScopedEnv prefix(nuv::os::kRootPrefixEnv, std::nullopt);
    EXPECT_EQ(nuv::os::ProgramFilesFolder(), "/opt/");
    EXPECT_EQ(nuv::os::SharedDocumentsFolder(), "/var/lib/");
  }
  ScopedEnv prefix(nuv::os::kRootPrefixEnv, "/tmp/root/");
  EXPECT_EQ(nuv::os::ProgramFilesFolder(), "/tmp/root/opt/");
  EXPECT_EQ(nuv::os::SharedDocumentsFolder(), "/tmp/root/var/lib/");
}

TEST(OsFolders, ModulePathIsThisProgram) {
  std::string path = nuv::os::ModulePath();
  EXPECT_EQ(path, std::filesystem::canonical("/proc/self/exe").string());
  EXPECT_NE(path.find("platform_tests"), std::string::npos);
}

TEST(OsFolders, EnvironmentLookUp) {
  ScopedEnv set("NUV_TEST_VAR", "");
  EXPECT_EQ(nuv::os::GetEnv("NUV_TEST_VAR"), std::optional<std::string>(""));
  EXPECT_EQ(nuv::os::GetEnvOr("NUV_TEST_VAR", "x"), "");
  ScopedEnv unset("NUV_TEST_VAR", std::nullopt);
  EXPECT_FALSE(nuv::os::GetEnv("NUV_TEST_VAR"));
  EXPECT_EQ(nuv::os::GetEnvOr("NUV_TEST_VAR", "x"), "x");
}

class DesktopUserTest : public ::testing::Test {
 protected:
  TempDir home_;
  ScopedEnv sudo_{"SUDO_USER", std::nullopt};
  ScopedEnv homeEnv_{"HOME", home_.Path()};
  ScopedEnv data_{"XDG_DATA_HOME", std::nullopt};
  ScopedEnv config_{"XDG_CONFIG_HOME", std::nullopt};
};

TEST_F(DesktopUserTest, ProcessUserUsesHomeAndXdgVariables) {
  std::string home = home_.Path().substr(0, home_.Path().size() - 1);
  EXPECT_EQ(nuv::os::DesktopUserLocalAppData(), home + "/.local/share");
  EXPECT_EQ(nuv::os::DesktopUserDesktopFolder(), home + "/Desktop");
  std::optional<nuv::os::DesktopUser> user = nuv::os::GetDesktopUser();
  ASSERT_TRUE(user);
  EXPECT_EQ(user->uid, geteuid());

  ScopedEnv data("XDG_DATA_HOME", "/data/home/");
  EXPECT_EQ(nuv::os::DesktopUserLocalAppData(), "/data/home");
  ScopedEnv relative("XDG_DATA_HOME", "relative/path");  // invalid by the XDG rules: ignored
  EXPECT_EQ(nuv::os::DesktopUserLocalAppData(), home + "/.local/share");
}

TEST_F(DesktopUserTest, DesktopFolderFromUserDirs) {
  std::string home = home_.Path().substr(0, home_.Path().size() - 1);
  std::filesystem::create_directories(home_.File(".config"));
  WriteWholeFile(home_.File(".config/user-dirs.dirs"),
                 "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\nXDG_DESKTOP_DIR=\"$HOME/桌面\"\n");
  EXPECT_EQ(nuv::os::DesktopUserDesktopFolder(), home + "/桌面");

  TempDir config;
  WriteWholeFile(config.File("user-dirs.dirs"), "XDG_DESKTOP_DIR=\"/srv/desk/\"\n");
  ScopedEnv xdg("XDG_CONFIG_HOME", config.Path());
  EXPECT_EQ(nuv::os::DesktopUserDesktopFolder(), "/srv/desk");
}

TEST_F(DesktopUserTest, SudoUserIsTheDesktopUser) {
  ScopedEnv data("XDG_DATA_HOME", "/belongs/to/the/process/user");
  {
    ScopedEnv sudo("SUDO_USER", "root");  // known on every system
    std::optional<nuv::os::DesktopUser> user = nuv::os::GetDesktopUser();
    ASSERT_TRUE(user);
    EXPECT_EQ(user->name, "root");
    EXPECT_EQ(user->uid, 0u);
    // The process's XDG variables describe the desktop user only when that is the process user.
    if (geteuid() != 0) {
      EXPECT_EQ(nuv::os::DesktopUserLocalAppData(), user->home + "/.local/share");
    } else {
      EXPECT_EQ(nuv::os::DesktopUserLocalAppData(), "/belongs/to/the/process/user");
    }
  }
  ScopedEnv sudo("SUDO_USER", "no-such-user-nuv");
  EXPECT_FALSE(nuv::os::GetDesktopUser());
  EXPECT_EQ(nuv::os::DesktopUserLocalAppData(), "");
  EXPECT_EQ(nuv::os::DesktopUserDesktopFolder(), "");
}

}  // namespace
