#!/usr/bin/env bash
# Rewrites the golden pictures of the toolkit's off-screen renders (tests/fixtures/toolkit_golden/)
# from the current build. Look at every picture it writes before committing them.
set -euo pipefail
BUILD=${1:-build}
cmake --build "$BUILD" --target toolkit_tests -j"$(nproc)" >/dev/null
NUV_UPDATE_GOLDENS=1 "$BUILD/tests/toolkit/toolkit_tests" --gtest_filter='Windows/GoldenTest.*' |
  grep -o 'wrote .*' || true
