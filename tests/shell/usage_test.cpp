// Asking the program for help (or giving it anything but key=value) shows how to use it and ends
// with 64 before it touches anything: no folder, lock, registry or server.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

// Runs the program with an environment whose every folder is an empty one of the test's.
ProgramRun RunWithEmptyFolders(const std::string& program, const std::vector<std::string>& args,
                               const TempDir& dir) {
  const std::vector<std::string> env = {
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
  return RunProgram(all, &env);
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
      const ProgramRun ran = RunWithEmptyFolders(program, args, dir);
      EXPECT_EQ(ran.exitCode, 64);
      EXPECT_NE(ran.err.find("usage: "), std::string::npos) << ran.err;
      EXPECT_NE(ran.err.find("Exit codes:"), std::string::npos) << ran.err;
      EXPECT_TRUE(Untouched(dir));
    }
  }
}

}  // namespace
