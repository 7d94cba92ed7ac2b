// Asking the program for help (or giving it anything but key=value) shows how to use it and ends
// with 64 before it touches anything: no folder, lock, registry or server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

struct Ran {
  int exitCode = -1;
  std::string err;
};

// Runs the program with an environment whose every folder is an empty one of the test's.
Ran RunWithEmptyFolders(const std::string& program, const std::vector<std::string>& args,
                        const TempDir& dir) {
  std::vector<std::string> env = {
      "PATH=/usr/bin:/bin",
      "TMPDIR=" + dir.File("tmp"),
      "NUV_ROOT_PREFIX=" + dir.File("root"),
      "NUV_REGISTRY_DIR=" + dir.File("registry"),
      "NUV_LOCK_DIR=" + dir.File("lock"),
      "HOME=" + dir.File("home"),
      std::string("NUV_RESOURCE_DIR=") + NUV_SOURCE_DIR + "/tests/fixtures/loopback"};
  for (const char* sub : {"tmp", "root", "registry", "lock", "home"})
    std::filesystem::create_directories(dir.File(sub));
  std::vector<std::string> all = {program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv, envp;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, dir.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  Ran ran;
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &files, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);  // a usage answer is immediate; ctest's limit guards a hang
    ran.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&files);
  ran.err = ReadWholeFile(dir.File("err"));
  return ran;
}

bool Untouched(const TempDir& dir) {
  for (const char* sub : {"tmp", "root", "registry", "lock", "home"})
    if (!std::filesystem::is_empty(dir.File(sub))) return false;
  return true;
}

TEST(Usage, HelpOrAnyArgumentThatIsNotKeyValueGivesTheUsageAndTouchesNothing) {
  const std::vector<std::vector<std::string>> commandLines = {
      {"--help"}, {"-h"}, {"install"}, {"OnlyForkInstallDependent=1", "--help"}, {"=1"}};
  for (const char* program : {NUV_PATH, NUVRUN_PATH}) {
    for (const std::vector<std::string>& args : commandLines) {
      SCOPED_TRACE(std::string(program) + " " + args.back());
      TempDir dir;
      const Ran ran = RunWithEmptyFolders(program, args, dir);
      EXPECT_EQ(ran.exitCode, 64);
      EXPECT_NE(ran.err.find("usage: "), std::string::npos) << ran.err;
      EXPECT_NE(ran.err.find("Exit codes:"), std::string::npos) << ran.err;
      EXPECT_TRUE(Untouched(dir));
    }
  }
}

}  // namespace
