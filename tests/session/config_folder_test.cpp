#include "session/config_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/folder_utils.h"
#include "session/session_env.h"
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
  const std::string tempFolder = Root() + "tmp/NuvFolderBrand/";
  EXPECT_EQ(Choose(), tempFolder);
  EXPECT_TRUE(Logged("[WARN] get exe folder=[" + ExeBrandFolder() + "/] failed, err=["));
  EXPECT_FALSE(Logged("[ERROR] get temp folder"));

  // Even the temporary folder fails: it is used all the same.
  ScopedEnv tmp("TMPDIR", Root() + "blocker");
  const std::string blocked = Root() + "blocker/NuvFolderBrand/";
  EXPECT_EQ(Choose(), blocked);
  EXPECT_TRUE(Logged("[ERROR] get temp folder=[" + blocked + "] failed! err=["));
  EXPECT_FALSE(Logged("err=[0]")) << "each failure logs its reason";
}

}  // namespace
