// The e2e program's own entry. It is also the "own path" a whole run starts as its fork instance:
// with OnlyForkInstallDependent=1 among its arguments it only records them and exits, so a test
// sees the exact command line the controller built.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "e2e_cloud.h"
#include "e2e_fork_record.h"
#include "support/temp_dir.h"

namespace {

bool IsForkInstance(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "OnlyForkInstallDependent=1") == 0) return true;
  return false;
}

int RecordForkInstance(int argc, char** argv) {
  const char* record = getenv(kForkRecordEnv);
  if (!record || !*record) return 0;
  std::string line;
  for (int i = 0; i < argc; ++i) line += (i ? "\t" : "") + std::string(argv[i]);
  std::ofstream(record, std::ios::app) << line << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (IsForkInstance(argc, argv)) return RecordForkInstance(argc, argv);

  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();

  // The engine's pauses between attempts are cut short for the whole program (read once).
  setenv("NUV_ENGINE_FAST", "1", 1);
  TempDir processDir;
  setenv("TMPDIR", processDir.Path().c_str(), 1);
  setenv("NUV_REGISTRY_DIR", (processDir.Path() + "registry").c_str(), 1);
  if (!StartE2eCloud(processDir.Path())) {
    std::fprintf(stderr, "e2e: the cloud stand-in did not start\n");
    return 1;
  }
  const int result = RUN_ALL_TESTS();
  StopE2eCloud();
  return result;
}
