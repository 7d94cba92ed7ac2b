#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "os_test_env.h"
#include "platform/folder_utils.h"
#include "platform/os/drives.h"
#include "platform/os/folders.h"
#include "support/temp_dir.h"
#include "xml/utf.h"

using namespace platform;

namespace {

std::u16string W(const std::string& s) {
  return Utf8ToWide(s);
}

TEST(FolderUtils, ProgramFilesIsOptForBothWidths) {
  std::u16string x86, native;
  {
    ScopedEnv prefix("NUV_ROOT_PREFIX", std::nullopt);
    EXPECT_TRUE(GetProgramFilesFolders(x86, native));
    EXPECT_EQ(x86, u"/opt/");
    EXPECT_EQ(native, u"/opt/");
  }
  ScopedEnv prefix("NUV_ROOT_PREFIX", "/tmp/r");
  EXPECT_TRUE(GetProgramFilesFolders(x86, native));
  EXPECT_EQ(native, u"/tmp/r/opt/");
}

TEST(FolderUtils, SystemFolders) {
  ScopedEnv prefix("NUV_ROOT_PREFIX", std::nullopt);
  const std::pair<std::u16string, bool> cases[] = {
      {u"/usr/local/tool", true},
      {u"/usr", true},
      {u"/etc/", true},
      {u"/lib64/x", true},
      {u"/opt/", true},
      {u"/opt/Veltrin/Capturo", true},
      {u"/optical/x", false},
      {u"/home/u/usr/x", false},
      {u"/USR/x", false},
      {u"/var/lib/Veltrin", false},
      {u"/", false},
      {u"", false},
      {u"/home/u/Capturo", false},
      {u"usr/x", false},
      {u"/home/../usr/x", true},
      {u"//usr//bin", true},
      {u"/usr/../home/x", false},
      {u"/home/./../opt/./x/", true},
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(IsUnderSystemFolder(path), expected) << WideToUtf8(path);
  }
  ScopedEnv other("NUV_ROOT_PREFIX", "/tmp/root");
  EXPECT_TRUE(IsUnderSystemFolder(u"/tmp/root/opt/Tool"));
  EXPECT_FALSE(IsUnderSystemFolder(u"/opt/Tool"));
}

TEST(FolderUtils, MakerFoldersAreCreated) {
  TempDir dir;
  ScopedEnv tmp("TMPDIR", dir.Path());
  ScopedEnv prefix("NUV_ROOT_PREFIX", dir.File("root"));

  const std::string temp = nuv::os::TempFolder();
  EXPECT_EQ(GetTempSubFolder(u""), W(temp + "Veltrin/"));
  EXPECT_EQ(GetTempSubFolder(u"Acme"), W(temp + "Acme/"));
  EXPECT_TRUE(FolderExists(W(temp + "Veltrin")));
  EXPECT_TRUE(FolderExists(W(temp + "Acme")));

  EXPECT_EQ(GetSharedDocumentsFolder(u"Acme"), W(dir.File("root/var/lib/Acme/")));
  EXPECT_TRUE(FolderExists(W(dir.File("root/var/lib/Acme/"))));

  std::u16string module = GetModuleSubFolder(u"nuv-module-sub-test");
  EXPECT_EQ(module, GetModuleFolder() + u"/nuv-module-sub-test/");
  EXPECT_TRUE(FolderExists(module));
  std::filesystem::remove(WideToUtf8(module));
}

TEST(FolderUtils, WriteProbe) {
  TempDir dir;
  WriteWholeFile(dir.File("plain-file"), "x");
  EXPECT_TRUE(CanWriteToFolder(W(dir.Path())));
  EXPECT_TRUE(CanWriteToFolder(W(dir.Path().substr(0, dir.Path().size() - 1))));  // no slash
  EXPECT_FALSE(std::filesystem::exists(dir.File("nuv.tmp")));
  EXPECT_FALSE(CanWriteToFolder(u""));
  EXPECT_FALSE(CanWriteToFolder(W(dir.File("absent"))));
  EXPECT_FALSE(CanWriteToFolder(W(dir.File("plain-file"))));
}

// Root writes everywhere, so the read-only case runs in a child with an unprivileged identity.
TEST(FolderUtils, WriteProbeOnAReadOnlyFolderLeavesNothing) {
  TempDir dir;
  std::string ro = dir.File("ro");
  ASSERT_EQ(mkdir(ro.c_str(), 0555), 0);
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    _exit(CanWriteToFolder(W(ro)) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the probe succeeded, 3: could not drop privileges";
  EXPECT_TRUE(std::filesystem::is_empty(ro));
}

TEST(FolderUtils, DrivesAndFreeSpaceGoThroughTheProvider) {
  nuv::os::FakeDriveProvider fake({{"/", 10}, {"/mnt/big/", 500}, {"/mnt/small", 3}}, "/");
  nuv::os::SetDriveProvider(&fake);
  std::vector<std::u16string> drives{u"stale"};
  ListFixedDrives(drives);
  EXPECT_EQ(drives, (std::vector<std::u16string>{u"/", u"/mnt/big/", u"/mnt/small/"}));
  EXPECT_EQ(GetFreeDiskSpace(u"/mnt/big/Veltrin/Download/"), 500u);
  EXPECT_EQ(GetFreeDiskSpace(u"/home/u"), 10u);
  EXPECT_EQ(GetFreeDiskSpace(u""), 0u);
  EXPECT_EQ(GetSystemDriveRoot(), u"/");
  EXPECT_EQ(GetDriveRootOf(u"/mnt/small/x"), u"/mnt/small/");
  EXPECT_EQ(GetDriveRootOf(u"/mnt/big"), u"/mnt/big/");
  EXPECT_EQ(GetDriveRootOf(u"/mnt/bigger/x"), u"/");
  nuv::os::SetDriveProvider(nullptr);

  TempDir dir;
  EXPECT_GT(GetFreeDiskSpace(W(dir.Path())), 0u);
  EXPECT_EQ(GetFreeDiskSpace(W(dir.File("not/there"))), 0u);
}

TEST(FolderUtils, OwnPathParts) {
  std::u16string path = GetModulePath();
  EXPECT_EQ(GetModuleFileName(), u"platform_tests");
  EXPECT_EQ(GetModuleFolder() + u"/" + GetModuleFileName(), path);
}

TEST(FolderUtils, ShellUserLocalAppDataIsTheDesktopUsers) {
  ScopedEnv sudo("SUDO_USER", std::nullopt);
  ScopedEnv home("HOME", "/home/someone");
  ScopedEnv data("XDG_DATA_HOME", std::nullopt);
  EXPECT_EQ(GetShellUserLocalAppData(), u"/home/someone/.local/share");
  ScopedEnv unknown("SUDO_USER", "no-such-user-nuv");
  EXPECT_EQ(GetShellUserLocalAppData(), u"");
}

TEST(FolderUtils, PathTexts) {
  struct Case {
    std::u16string path, parent;
    std::string name, stem, ext;
  };
  const Case cases[] = {
      {u"/a/b.tar.gz", u"/a/", "b.tar.gz", "b.tar", ".gz"},
      {u"noslash.txt", u"", "noslash.txt", "noslash", ".txt"},
      {u"/a.b/c", u"/a.b/", "c", "c", ""},  // a dot in a folder name is no extension
      {u"/a/", u"/a/", "", "", ""},
      {u"/x/.bashrc", u"/x/", ".bashrc", "", ".bashrc"},
      {u"/x/文件.txt", u"/x/", "文件.txt", "文件", ".txt"},
      {u"", u"", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.path));
    EXPECT_EQ(ParentFolder(c.path), c.parent);
    EXPECT_EQ(FileNameOf(c.path, true), c.name);
    EXPECT_EQ(FileNameOf(c.path, false), c.stem);
    EXPECT_EQ(ExtensionOf(c.path), c.ext);
  }
}

TEST(FolderUtils, FolderChainAndExistence) {
  TempDir dir;
  WriteWholeFile(dir.File("file"), "x");
  EXPECT_TRUE(CreateFolderChain(W(dir.File("a/b/c"))));
  EXPECT_TRUE(FolderExists(W(dir.File("a/b/c"))));
  EXPECT_TRUE(CreateFolderChain(W(dir.File("a/b/d/"))));
  EXPECT_TRUE(FolderExists(W(dir.File("a/b/d"))));
  EXPECT_TRUE(CreateFolderChain(W(dir.File("a/b/c"))));  // all there already
  EXPECT_FALSE(CreateFolderChain(W(dir.File("file/sub"))));
  EXPECT_FALSE(CreateFolderChain(u""));
  EXPECT_FALSE(FolderExists(W(dir.File("file"))));
  EXPECT_FALSE(FolderExists(u""));
}

TEST(FolderUtils, ListFilesOrderFoldersAndRecursion) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("sub/deep"));
  WriteWholeFile(dir.File("b.txt"), "");
  WriteWholeFile(dir.File("sub/a.txt"), "");
  WriteWholeFile(dir.File("sub/deep/c.txt"), "");
  std::filesystem::create_directory_symlink(dir.File("sub"), dir.File("link"));
  std::u16string base = W(dir.Path());
  struct Case {
    bool recurse, includeFolders;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {false, false, {"b.txt", "link"}},
      {false, true, {"b.txt", "link", "sub/"}},
      {true, false, {"b.txt", "link", "sub/a.txt", "sub/deep/c.txt"}},
      {true, true, {"b.txt", "link", "sub/", "sub/a.txt", "sub/deep/", "sub/deep/c.txt"}},
  };
  for (const Case& c : cases) {
    std::vector<std::u16string> out;
    ListFiles(base.substr(0, base.size() - 1), out, c.recurse, c.includeFolders);  // slash added
    std::vector<std::u16string> expected;
    for (const std::string& e : c.expected) expected.push_back(base + W(e));
    EXPECT_EQ(out, expected) << c.recurse << c.includeFolders;
  }
  std::vector<std::u16string> kept{u"earlier"};
  ListFiles(W(dir.File("absent/")), kept, true, true);
  EXPECT_EQ(kept, std::vector<std::u16string>{u"earlier"});
}

}  // namespace
