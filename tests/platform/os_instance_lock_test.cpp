#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "os_test_env.h"
#include "platform/os/instance_lock.h"
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

TEST(InstanceLockFolder, OverrideThenRunLockOrTemp) {
  {
    ScopedEnv dir(nuv::os::kLockDirEnv, "/some/where");
    EXPECT_EQ(nuv::os::LockFolder(), "/some/where/");
  }
  ScopedEnv none(nuv::os::kLockDirEnv, std::nullopt);
  ScopedEnv tmp("TMPDIR", "/var/tmp");
  std::string folder = nuv::os::LockFolder();
  if (access("/run/lock", W_OK) == 0) {
    EXPECT_EQ(folder, "/run/lock/");
  } else {
    EXPECT_EQ(folder, "/var/tmp/");
  }
}

TEST(InstanceLockFolder, UnusableFolderIsNeitherHeldNorExisting) {
  ScopedEnv dir(nuv::os::kLockDirEnv, "/nonexistent-nuv-dir");
  InstanceLock lock("X");
  EXPECT_FALSE(lock.Held());
  EXPECT_FALSE(lock.AlreadyExisted());
}

}  // namespace
