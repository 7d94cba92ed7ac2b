// Runs one test inside a private network namespace, where it may bind any loopback address on
// port 80. The test binary re-executes itself under "unshare --net" for just that test.
#pragma once

#include <string>

// True in the re-executed child (after bringing lo up there).
bool InPrivateNetwork();
// From the parent: runs the current test in the child and reports its outcome as a failure of
// the current test; skips when not root or unshare is missing.
void RunCurrentTestInPrivateNetwork();

// Put first in a test body: in the parent it delegates to the child and returns.
#define NUV_RUN_IN_PRIVATE_NETWORK()    \
  do {                                  \
    if (!InPrivateNetwork()) {          \
      RunCurrentTestInPrivateNetwork(); \
      return;                           \
    }                                   \
  } while (0)
