#include <gtest/gtest.h>

#include <filesystem>

#include "platform/os/drives.h"
#include "support/temp_dir.h"

namespace {

TEST(OsDrives, MountTableGivesLocalWritableFolderMountsOncePerDevice) {
  TempDir dir;
  for (const char* d : {"data", "again", "ro", "tmp", "bind", "with space"}) {
    std::filesystem::create_directory(dir.File(d));
  }
  WriteWholeFile(dir.File("file"), "");
  std::string t = dir.Path();
  std::string table =
      "proc /proc proc rw,relatime 0 0\n"
      "/dev/vda / ext4 rw,relatime 0 0\n"
      "/dev/vdb " +
      t +
      "data ext4 rw,relatime 0 0\n"
      "/dev/vdb " +
      t +
      "again ext4 rw 0 0\n"  // same device again
      "/dev/vdc " +
      t +
      "file ext4 rw 0 0\n"  // a bound file
      "/dev/vdd " +
      t +
      "ro ext4 ro,relatime 0 0\n"  // read-only
      "tmpfs " +
      t +
      "tmp tmpfs rw 0 0\n"  // not a block device
      "/dev/vda " +
      t +
      "bind ext4 rw 0 0\n"  // the root device bound elsewhere
      "/dev/vde /boot/efi vfat rw 0 0\n"
      "/dev/vdf " +
      t +
      "missing ext4 rw 0 0\n"
      "/dev/vdg " +
      t +
      "with\\040space ext4 rw 0 0\n"
      "garbage\n";
  WriteWholeFile(dir.File("mounts"), table);
  nuv::os::SystemDriveProvider provider(dir.File("mounts"));
  std::vector<std::string> expected{"/", t + "data/", t + "with space/"};
  EXPECT_EQ(provider.FixedDriveRoots(), expected);
  EXPECT_EQ(provider.SystemDriveRoot(), "/");

  nuv::os::SystemDriveProvider unreadable(dir.File("no-such-table"));
  EXPECT_EQ(unreadable.FixedDriveRoots(), std::vector<std::string>{"/"});
}

TEST(OsDrives, RealFreeSpaceForExistingFoldersOnly) {
  TempDir dir;
  nuv::os::SystemDriveProvider provider;
  std::optional<uint64_t> free = provider.FreeBytes(dir.Path());
  ASSERT_TRUE(free);
  EXPECT_GT(*free, 0u);
  EXPECT_FALSE(provider.FreeBytes(dir.File("not/there")));
  EXPECT_FALSE(provider.FreeBytes(""));
  EXPECT_EQ(provider.FixedDriveRoots().front(), "/");
}

TEST(OsDrives, FakeProviderReplacesTheProcessWideOne) {
  nuv::os::FakeDriveProvider fake({{"/tmp/c", 100}, {"/tmp/c/d/", 7}}, "/tmp/c");
  EXPECT_EQ(fake.FixedDriveRoots(), (std::vector<std::string>{"/tmp/c/", "/tmp/c/d/"}));
  EXPECT_EQ(fake.SystemDriveRoot(), "/tmp/c/");
  EXPECT_EQ(fake.FreeBytes("/tmp/c/x/y"), 100u);
  EXPECT_EQ(fake.FreeBytes("/tmp/c/d"), 7u);  // the longest root wins, trailing '/' optional
  EXPECT_EQ(fake.FreeBytes("/tmp/cd"), std::nullopt);
  fake.SetFree("/tmp/c", 5);
  EXPECT_EQ(fake.FreeBytes("/tmp/c/x"), 5u);

  nuv::os::SetDriveProvider(&fake);
  EXPECT_EQ(&nuv::os::Drives(), &fake);
  nuv::os::SetDriveProvider(nullptr);
  EXPECT_NE(&nuv::os::Drives(), &fake);
  EXPECT_EQ(nuv::os::Drives().SystemDriveRoot(), "/");
}

}  // namespace
