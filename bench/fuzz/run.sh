#!/usr/bin/env bash
# Long fuzz runs (never in CI): each target in turn, niced, until SECONDS (default one hour) or
# RUNS executions (default ten million), whichever comes first; the figures replace the table of
# bench/fuzz/README.md.   bench/fuzz/run.sh [SECONDS [RUNS [TARGET...]]]
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${FUZZ_BUILD:-$root/build-fuzz}
seconds=${1:-3600}
runs=${2:-10000000}
shift 2 2>/dev/null || shift $#

cmake -S "$root" -B "$build" -DNUV_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice -n 19 cmake --build "$build" -j"${JOBS:-2}" >/dev/null

figures=$(mktemp)
trap 'rm -f "$figures"' EXIT
status=0
FUZZ_NICE=19 FUZZ_FIGURES="$figures" bash "$root/fuzz/run.sh" "$build" "$seconds" "$runs" "$@" ||
  status=$?

readme="$root/bench/fuzz/README.md"
{
  echo "<!-- figures: written by bench/fuzz/run.sh -->"
  echo "Run of $(date -u +%Y-%m-%d) at commit $(git -C "$root" rev-parse --short HEAD), limit" \
    "${seconds} s or ${runs} executions per target, \`nice -n 19\`, load average" \
    "$(cut -d' ' -f1-3 /proc/loadavg) at the end on $(nproc) cores."
  echo
  echo "| target | executions | seconds | exec/s | cov | ft | corpus | result |"
  echo "|---|---:|---:|---:|---:|---:|---:|---|"
  while IFS='|' read -r t execs secs cov ft corp result; do
    rate="?"
    [[ "$execs" =~ ^[0-9]+$ && "$secs" -gt 0 ]] && rate=$((execs / secs))
    echo "| $t | $execs | $secs | $rate | $cov | $ft | $corp | $result |"
  done <"$figures"
  echo "<!-- end of figures -->"
} >"$figures.table"
# Everything outside the markers is kept.
awk -v table="$figures.table" '
  /<!-- figures:/ { while ((getline line < table) > 0) print line; skip = 1; next }
  /<!-- end of figures -->/ { skip = 0; next }
  !skip { print }' "$readme" >"$readme.new"
mv "$readme.new" "$readme"
rm -f "$figures.table"
exit $status
