#!/usr/bin/env bash
# Runs every benchmark against the build folder given (default build).
set -uo pipefail
BUILD=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
if [ -x "$BUILD/bench/xml/bench_xml" ]; then
  echo "== bench/xml"; "$BUILD/bench/xml/bench_xml"
fi
if [ -x "$BUILD/bench/log/bench_log" ]; then
  echo "== bench/log"; "$BUILD/bench/log/bench_log"
fi
if [ -x "$BUILD/bench/ui/bench_ui" ]; then
  echo "== bench/ui"; "$BUILD/bench/ui/bench_ui"
fi
if [ -x "$BUILD/tools/nuvget/nuvget" ]; then
  echo "== bench/engine"; bash "$here/engine/run.sh" "$BUILD"
fi
