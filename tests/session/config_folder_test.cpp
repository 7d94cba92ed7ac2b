#include "session/config_folder.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/folder_utils.h"
#include "platform/os/folders.h"
#include "session/session_env.h"
#include "support/other_user.h"
#include "xml/utf.h"

namespace {

namespace fs = std::filesystem;

const std::u16string kBrand = u"NuvFolderBrand";

class ConfigFolderTest : public SessionEnvTest {
 protected:
  std::string Choose(const std::u16string& brand = kBrand) {
    return WideToUtf8(ChooseConfigFolder(brand));
  }
  // The program's own folder + brand: the second fallback. Removed again after each test.
  std::string ExeBrandFolder() const {
    return WideToUtf8(platform::GetModuleFolder()) + "/" + WideToUtf8(kBrand);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(ExeBrandFolder(), ec);
    SessionEnvTest::TearDown();
  }
};

TEST_F(ConfigFolderTest, ExistingDownloadFolderWinsOverMoreFreeSpace) {
  UseDrives({{"sys", 10}, {"d", 5}, {"e", 100}}, "sys");
  fs::create_directories(DriveRoot("d") + "NuvFolderBrand/Download");
  EXPECT_EQ(Choose(), DriveRoot("d") + "NuvFolderBrand/Download/");
  // A plain file of that name is no folder and does not count.
  fs::remove_all(DriveRoot("d") + "NuvFolderBrand");
  fs::create_directories(DriveRoot("d") + "NuvFolderBrand");
  WriteWholeFile(DriveRoot("d") + "NuvFolderBrand/Download", "x");
  EXPECT_EQ(Choose(), DriveRoot("e") + "NuvFolderBrand/Download/");
}

TEST_F(ConfigFolderTest, MostFreeSpaceDecidesAndTheFolderIsCreated) {
  struct Case {
    std::vector<std::pair<std::string, uint64_t>> drives;
    std::string expectedDrive;
  };
  const Case cases[] = {
      {{{"sys", 10}, {"d", 50}, {"e", 20}}, "d"},
      {{{"sys", 10}, {"d", 50}, {"e", 50}}, "d"},  // a tie goes to the first listed
  };
  for (const Case& c : cases) {
    UseDrives(c.drives, "sys");
    const std::string expected = DriveRoot(c.expectedDrive) + "NuvFolderBrand/Download/";
    EXPECT_EQ(Choose(), expected);
    EXPECT_TRUE(fs::is_directory(expected));
    fs::remove_all(DriveRoot(c.expectedDrive) + "NuvFolderBrand");
  }
}

TEST_F(ConfigFolderTest, SystemDriveUsesTheSharedDocumentsFolder) {
  UseDrives({{"sys", 90}, {"d", 50}}, "sys");
  EXPECT_EQ(Choose(), Prefix() + "/var/lib/NuvFolderBrand/");
  EXPECT_TRUE(fs::is_directory(Prefix() + "/var/lib/NuvFolderBrand"));
}

TEST_F(ConfigFolderTest, EmptyBrandHasNoBrandLevelOnDrivesAndVeltrinElsewhere) {
  UseDrives({{"sys", 10}, {"d", 50}}, "sys");
  EXPECT_EQ(Choose(u""), DriveRoot("d") + "Download/");
  UseDrives({{"sys", 90}, {"d", 50}}, "sys");
  fs::remove_all(DriveRoot("d") + "Download");
  EXPECT_EQ(Choose(u""), Prefix() + "/var/lib/Veltrin/");
}

// Root may write anywhere, so an unwritable folder is made by putting it under a regular file:
// nothing can be created below a file, whoever asks.
TEST_F(ConfigFolderTest, UnwritableFoldersFallBackToExeThenTempFolder) {
  WriteWholeFile(Root() + "blocker", "x");
  UseDrives({{"sys", 10}, {"d", 50}}, "sys");
  fs::remove_all(DriveRoot("d"));
  WriteWholeFile(Root() + "drives/d", "x");  // the drive root is now a file

  const std::string defaultFolder = DriveRoot("d") + "NuvFolderBrand/Download/";
  EXPECT_EQ(Choose(), ExeBrandFolder() + "/");
  EXPECT_TRUE(Logged("[ERROR] create folder=[" + defaultFolder + "] failed!"));
  EXPECT_TRUE(Logged("[WARN] get default folder=[" + defaultFolder + "] failed, err=["));

  // A file where the exe folder's brand folder would be: the temporary folder is next.
  fs::remove_all(ExeBrandFolder());
  WriteWholeFile(ExeBrandFolder(), "x");
  const std::string tempFolder = nuv::os::TempFolder() + "NuvFolderBrand/";
  EXPECT_EQ(Choose(), tempFolder);
  EXPECT_TRUE(Logged("[WARN] get exe folder=[" + ExeBrandFolder() + "/] failed, err=["));
  EXPECT_FALSE(Logged("[ERROR] get temp folder"));

  // Even the temporary folder fails: it is used all the same.
  ScopedEnv tmp("TMPDIR", Root() + "blocker");
  const std::string blocked =
      Root() + "blocker/nuv-" + std::to_string(geteuid()) + "/NuvFolderBrand/";
  EXPECT_EQ(Choose(), blocked);
  EXPECT_TRUE(Logged("[ERROR] get temp folder=[" + blocked + "] failed! err=["));
  EXPECT_FALSE(Logged("err=[0]")) << "each failure logs its reason";
}

// A download folder someone else prepared is never used: packages are saved there and run as
// root, so whoever can change the folder could swap the package.
struct PlantedFolder {
  const char* name;
  void (*plant)(const std::string& driveRoot, const std::string& victim);
  bool trusted;
};

const PlantedFolder kPlantedFolders[] = {
    {"other user's folder",
     [](const std::string& root, const std::string&) {
       fs::create_directories(root + "NuvFolderBrand/Download");
       other_user::Give(root + "NuvFolderBrand/Download");
     },
     false},
    {"other user's brand folder above a folder of root's",
     [](const std::string& root, const std::string&) {
       fs::create_directories(root + "NuvFolderBrand/Download");
       other_user::Give(root + "NuvFolderBrand");
     },
     false},
    {"link to a folder of root's",
     [](const std::string& root, const std::string& victim) {
       fs::create_directories(root + "NuvFolderBrand");
       fs::create_directory_symlink(victim, root + "NuvFolderBrand/Download");
     },
     false},
    {"folder of root's open to all",
     [](const std::string& root, const std::string&) {
       fs::create_directories(root + "NuvFolderBrand/Download");
       chmod((root + "NuvFolderBrand/Download").c_str(), 0777);
     },
     false},
    {"folder of root's on a drive open to all, like /tmp",
     [](const std::string& root, const std::string&) {
       chmod(root.c_str(), 01777);
       fs::create_directories(root + "NuvFolderBrand/Download");
     },
     true},
};

TEST_F(ConfigFolderTest, DownloadFolderSomeoneElseCanChangeIsNotUsed) {
  for (const PlantedFolder& c : kPlantedFolders) {
    SCOPED_TRACE(c.name);
    // The planted folder is on the first drive; another drive has the most room.
    UseDrives({{"sys", 10}, {"d", 5}, {"e", 100}}, "sys");
    TempDir victim;
    c.plant(DriveRoot("d"), victim.Path());
    const std::string planted = DriveRoot("d") + "NuvFolderBrand/Download/";
    const std::string refusal = "[WARN] folder=[" + planted + "] refused (";
    const int refusals = CountLogged(refusal);
    EXPECT_EQ(Choose(), c.trusted ? planted : DriveRoot("e") + "NuvFolderBrand/Download/");
    EXPECT_EQ(CountLogged(refusal) > refusals, !c.trusted);

    // On the roomiest drive the planted folder is the default one: it is not written either.
    UseDrives({{"sys", 10}, {"d", 100}}, "sys");
    EXPECT_EQ(Choose(), c.trusted ? planted : ExeBrandFolder() + "/");
    EXPECT_EQ(fs::is_empty(victim.Path()), true) << "nothing was written through the link";
    fs::remove_all(DriveRoot("d"));
    fs::remove_all(DriveRoot("e"));
  }
}

// The same on a real second drive: an ext4 image mounted with its root open to all (mode 1777),
// where an ordinary user made the folder before root's first run. The mount lives in a mount
// namespace of this test's own, so nothing else on the machine sees it.
TEST_F(ConfigFolderTest, FolderAnOrdinaryUserMadeOnASecondDriveIsNotUsed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount and to act as another user";
  ASSERT_EQ(unshare(CLONE_NEWNS), 0) << "no private mount namespace";
  ASSERT_EQ(mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
  const std::string image = Root() + "drive.img";
  const std::string drive = DriveRoot("d");
  fs::create_directories(drive);
  {
    std::ofstream(image).close();
    fs::resize_file(image, 16 << 20);
  }
  ASSERT_EQ(RunProgram({"mkfs.ext4", "-q", "-F", image}).exitCode, 0);
  ASSERT_EQ(RunProgram({"mount", "-o", "loop", image, drive}).exitCode, 0);
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{drive};
  ASSERT_EQ(chmod(drive.c_str(), 01777), 0);
  // The other user must be able to reach the drive's root through the sandbox.
  ASSERT_EQ(chmod(Root().c_str(), 0711), 0);
  ASSERT_EQ(other_user::Shell("mkdir -p '" + drive + "NuvFolderBrand/Download' && " +
                              "printf '#!/bin/sh\\necho planted\\n' > '" + drive +
                              "NuvFolderBrand/Download/capturo-setup-x64.run.~P2S'"),
            0);
  struct stat st {};
  ASSERT_EQ(lstat((drive + "NuvFolderBrand/Download").c_str(), &st), 0);
  ASSERT_EQ(st.st_uid, other_user::kUid);

  UseDrives({{"sys", 10}, {"d", 100}}, "sys");
  const std::string chosen = Choose();
  EXPECT_NE(chosen.rfind(drive, 0), 0u) << chosen;
  EXPECT_EQ(chosen, ExeBrandFolder() + "/");
  EXPECT_TRUE(Logged("[WARN] folder=[" + drive + "NuvFolderBrand/Download/] refused ("));
}

}  // namespace
