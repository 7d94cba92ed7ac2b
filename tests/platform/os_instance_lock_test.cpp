#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "os_test_env.h"
#include "platform/os/folders.h"
#include "platform/os/instance_lock.h"
#include "support/other_user.h"
#include "support/temp_dir.h"

extern char** environ;

using nuv::os::InstanceLock;

namespace {

class InstanceLockTest : public ::testing::Test {
 protected:
  TempDir dir_;
  ScopedEnv lockDir_{nuv::os::kLockDirEnv, dir_.Path()};
};

TEST_F(InstanceLockTest, SecondHolderInTheSameProcessSeesItExisted) {
  InstanceLock first("Capturo_nuv");
  ASSERT_TRUE(first.Held());
  EXPECT_FALSE(first.AlreadyExisted());
  EXPECT_EQ(first.Path(), dir_.File("Capturo_nuv.lock"));

  InstanceLock second("Capturo_nuv");
  EXPECT_FALSE(second.Held());
  EXPECT_TRUE(second.AlreadyExisted());

  InstanceLock fork("Capturo_nuv_fork");  // other name, no conflict
  EXPECT_TRUE(fork.Held());

  first.Release();
  InstanceLock third("Capturo_nuv");
  EXPECT_TRUE(third.Held());
}

TEST_F(InstanceLockTest, HeldAcrossProcessesUntilTheHolderExits) {
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    close(release[1]);
    InstanceLock lock("App/with slash");
    char ok = lock.Held() ? '1' : '0';
    if (write(ready[1], &ok, 1) != 1) _exit(2);
    char c;
    while (read(release[0], &c, 1) > 0) {
    }
    _exit(0);
  }
  close(ready[1]);
  close(release[0]);
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  EXPECT_EQ(ok, '1');
  {
    InstanceLock mine("App/with slash");
    EXPECT_TRUE(mine.AlreadyExisted());
    EXPECT_FALSE(mine.Held());
    EXPECT_EQ(mine.Path(), dir_.File("App_with slash.lock"));
  }
  close(release[1]);  // the child ends
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(ready[0]);

  InstanceLock after("App/with slash");
  EXPECT_TRUE(after.Held());
}

// A program started while the lock is held must not keep it alive after we let go.
TEST_F(InstanceLockTest, SpawnedProgramsDoNotInheritTheLock) {
  auto lock = std::make_unique<InstanceLock>("Inherit");
  ASSERT_TRUE(lock->Held());
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  posix_spawn_file_actions_addclose(&actions, input[1]);
  char arg0[] = "cat";
  char* argv[] = {arg0, nullptr};
  pid_t child = -1;
  ASSERT_EQ(posix_spawn(&child, "/bin/cat", &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(input[0]);

  lock.reset();
  InstanceLock again("Inherit");
  EXPECT_TRUE(again.Held()) << "the spawned program kept the lock";

  close(input[1]);  // cat sees end of input and exits
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
}

TEST(InstanceLockFolder, OverrideThenRunNuvOrTemp) {
  {
    ScopedEnv dir(nuv::os::kLockDirEnv, "/some/where");
    EXPECT_EQ(nuv::os::LockFolder(), "/some/where/");
  }
  TempDir tmp;
  ScopedEnv tmpEnv("TMPDIR", tmp.Path());
  {
    // A lock folder anybody can write to is not used: the private temporary folder is.
    ScopedEnv dir(nuv::os::kLockDirEnv, "/tmp");
    EXPECT_EQ(nuv::os::LockFolder(), nuv::os::TempFolder());
  }
  ScopedEnv none(nuv::os::kLockDirEnv, std::nullopt);
  const std::string folder = nuv::os::LockFolder();
  if (geteuid() == 0) {
    EXPECT_EQ(folder, "/run/nuv/");
    struct stat st {};
    ASSERT_EQ(lstat("/run/nuv", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
  } else {
    EXPECT_EQ(folder, nuv::os::TempFolder());
  }
}

// Another local user must not be able to stop every start by holding the lock, nor have root
// write through a name it prepared.
struct ForeignLock {
  const char* name;
  void (*plant)(const std::string& path, const std::string& victim);
};

const ForeignLock kForeignLocks[] = {
    {"held by another user's file",
     [](const std::string& path, const std::string&) {
       WriteWholeFile(path, "");
       chmod(path.c_str(), 0644);
       other_user::Give(path);
     }},
    {"link to a file of root's", other_user::PlantLink},
    {"hard link to a file of root's", other_user::PlantHardLink},
};

TEST(InstanceLockTrust, ForeignLockFileIsNotHonouredAndNothingIsWrittenThroughIt) {
  for (const ForeignLock& c : kForeignLocks) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    ScopedEnv lockDir(nuv::os::kLockDirEnv, dir.Path());
    const std::string path = dir.File("Capturo_nuv.lock");
    const std::string victim = dir.File("victim");
    WriteWholeFile(victim, "root's");
    chmod(victim.c_str(), 0600);
    c.plant(path, victim);
    // What the other user holds: a shared lock on the file under the lock's name.
    const int theirs = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(theirs, 0);
    ASSERT_EQ(flock(theirs, LOCK_SH | LOCK_NB), 0);

    InstanceLock lock("Capturo_nuv");
    EXPECT_TRUE(lock.Held());
    EXPECT_FALSE(lock.AlreadyExisted());
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_EQ(st.st_nlink, 1u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(ReadWholeFile(victim), "root's");
    close(theirs);
  }
}

TEST(InstanceLockTrust, OtherUserCannotOpenTheLockToBlockTheNextStart) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  TempDir tmp;
  ScopedEnv tmpEnv("TMPDIR", tmp.Path());
  ScopedEnv none(nuv::os::kLockDirEnv, std::nullopt);
  const std::string name = "nuv-lock-test-" + std::to_string(getpid());
  {
    InstanceLock lock(name);
    ASSERT_TRUE(lock.Held());
  }
  const std::string path = nuv::os::LockFolder() + name + ".lock";
  ASSERT_EQ(other_user::Run({"flock", "-s", "-n", "/dev/null", "true"}), 0) << "setpriv works";
  EXPECT_NE(other_user::Run({"flock", "-s", "-n", path, "true"}), 0)
      << "another user took a shared lock on " << path;
  InstanceLock again(name);
  EXPECT_TRUE(again.Held());
  again.Release();
  unlink(path.c_str());
}

TEST(InstanceLockFolder, UnusableFolderIsNeitherHeldNorExisting) {
  ScopedEnv dir(nuv::os::kLockDirEnv, "/nonexistent-nuv-dir");
  InstanceLock lock("X");
  EXPECT_FALSE(lock.Held());
  EXPECT_FALSE(lock.AlreadyExisted());
}

}  // namespace
