#!/usr/bin/env bash
# Runs the fuzz targets of a fuzz build one after the other, each over a working copy of its seed
# corpus (the repository's corpus is never written to), and prints one line of figures per target.
#   fuzz/run.sh BUILD SECONDS [RUNS] [TARGET...]
# SECONDS bounds each target's time, RUNS its executions (0: no bound). Findings go to
# BUILD/fuzz-findings/; the exit status is 1 when there was one. FUZZ_NICE=19 runs them niced;
# FUZZ_MAX_LEN bounds the inputs (4096 bytes: larger seeds are cut; small inputs find parser
# faults as well and run many times faster). FUZZ_FIGURES=FILE appends
# "target|executions|seconds|cov|ft|corpus|result" lines to FILE.
set -euo pipefail

build=${1:?build folder}
seconds=${2:?seconds per target}
runs=${3:-0}
shift 3 2>/dev/null || shift $#
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < "$build/fuzz_targets.txt"

findings="$build/fuzz-findings"
mkdir -p "$findings"
failed=0
for t in "${targets[@]}"; do
  [ -n "$t" ] || continue
  work="$build/fuzz-corpus/$t"
  mkdir -p "$work"
  cp -n "$here/corpus/$t/"* "$work/" 2>/dev/null || true
  args=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/$t-"
        -timeout=10 -rss_limit_mb=2048 -max_len="${FUZZ_MAX_LEN:-4096}")
  [ "$runs" -gt 0 ] && args+=(-runs="$runs")
  [ -f "$here/dict/$t.dict" ] && args+=(-dict="$here/dict/$t.dict")
  log="$findings/$t.log"
  start=$(date +%s)
  result=ok
  nice -n "${FUZZ_NICE:-0}" "$build/fuzz/fuzz_$t" "${args[@]}" "$work" >"$log" 2>&1 || result=FINDING
  elapsed=$(( $(date +%s) - start ))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\)\/.*/\1/p' <<<"$last")
  printf '%-16s %-8s %12s execs %6ss  cov %-6s ft %-7s corpus %s\n' \
    "$t" "$result" "${execs:-?}" "$elapsed" "${cov:-?}" "${ft:-?}" "${corp:-?}"
  [ -n "${FUZZ_FIGURES:-}" ] &&
    echo "$t|${execs:-?}|$elapsed|${cov:-?}|${ft:-?}|${corp:-?}|$result" >>"$FUZZ_FIGURES"
  if [ "$result" != ok ]; then
    failed=1
    grep -m3 -E 'ERROR|invariant failed|SUMMARY' "$log" || true
    echo "  input and log in $findings/ ($t-*, $t.log)"
  fi
done
exit $failed
