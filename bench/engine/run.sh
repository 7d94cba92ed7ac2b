#!/usr/bin/env bash
# Downloads one random file from nginx with nuvget, aria2c and curl, inside a private network
# namespace (only loopback, so nothing leaves the machine and the shipped HTTP DNS endpoints are
# unreachable), under four server profiles: unlimited, 4 MiB/s per connection, stragglers (one
# connection in five at 256 KiB/s, the rest at 4 MiB/s) and a 40 ms round trip (netem, or
# tools/delay_proxy where the kernel has no netem). The tools alternate run by run, so a load that
# comes and goes hits them alike. Prints median wall time, spread, MB/s, CPU seconds and peak RSS
# per tool, and the ratios from the same run. Never run by CI.
#   bench/engine/run.sh [BUILD_DIR]     env: RUNS (default 3), SIZE_MB (default 1024),
#   PROFILES (default "unlimited throttled stragglers latency": the profiles to run),
#   NUVGET_BEFORE (another nuvget binary, e.g. of an older commit: an extra "nuvget-before" row)
set -uo pipefail
BUILD=$(cd "${1:-build}" && pwd)
if [ -z "${NUV_BENCH_IN_NETNS:-}" ]; then
  [ "$(id -u)" = 0 ] || { echo "the bench runs in a private network namespace: run it as root"; exit 1; }
  command -v unshare >/dev/null || { echo "missing unshare"; exit 1; }
  exec env NUV_BENCH_IN_NETNS=1 unshare --net -- bash "$(cd "$(dirname "$0")" && pwd)/$(basename "$0")" "$BUILD"
fi
ip link set lo up || { echo "cannot bring lo up in the namespace"; exit 1; }

NUVGET="$BUILD/tools/nuvget/nuvget"
RUNS=${RUNS:-3}
SIZE_MB=${SIZE_MB:-1024}
PROFILES=${PROFILES:-unlimited throttled stragglers latency}
OUT="$(cd "$(dirname "$0")/.." && pwd)/out/engine"
PORT=18480
# The port the tools download from: nginx's own, or the delay proxy's in front of it.
DL_PORT=$PORT
PROXY="$BUILD/tools/delay_proxy/delay_proxy"
PROXY_PORT=18481
# The shipped endpoint table: its HTTP DNS addresses are unreachable in here, as on a machine
# whose network does not reach them.
unset NUV_RESOURCE_DIR

[ -x "$NUVGET" ] || { echo "nuvget is not built ($NUVGET)"; exit 1; }
for t in nginx aria2c curl md5sum bc /usr/bin/time; do
  command -v "$t" >/dev/null || { echo "missing $t (scripts/bootstrap.sh installs it)"; exit 1; }
done

mkdir -p "$OUT/www" "$OUT/dl"
if [ "$(stat -c %s "$OUT/www/pkg.bin" 2>/dev/null)" != "$((SIZE_MB * 1048576))" ]; then
  echo "making a ${SIZE_MB} MiB random file"
  head -c "$((SIZE_MB * 1048576))" /dev/urandom >"$OUT/www/pkg.bin"
fi
MD5=$(md5sum "$OUT/www/pkg.bin" | cut -d' ' -f1)

# $1 = extra http-level directives, $2 = location directives.
start_nginx() {
  cat >"$OUT/nginx.conf" <<CONF
worker_processes 2;
daemon off;
error_log $OUT/nginx-error.log warn;
pid $OUT/nginx.pid;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  $1
  server {
    listen 127.0.0.1:$PORT;
    root $OUT/www;
    location / { $2 }
  }
}
CONF
  nginx -c "$OUT/nginx.conf" -p "$OUT" &
  NGINX_PID=$!
  for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$PORT/" && break; sleep 0.1; done
}
stop_nginx() { kill "$NGINX_PID" 2>/dev/null; wait "$NGINX_PID" 2>/dev/null; }

# A 20 ms one-way delay (40 ms round trip, 4 MiB window per direction) in front of nginx.
start_proxy() {
  : >"$OUT/delay_proxy.out"
  "$PROXY" --listen "127.0.0.1:$PROXY_PORT" --upstream "127.0.0.1:$PORT" --delay-ms 20 \
    >"$OUT/delay_proxy.out" &
  PROXY_PID=$!
  for _ in $(seq 50); do grep -q '^listening on' "$OUT/delay_proxy.out" && break; sleep 0.1; done
  DL_PORT=$PROXY_PORT
}
stop_proxy() { kill "$PROXY_PID" 2>/dev/null; wait "$PROXY_PID" 2>/dev/null; DL_PORT=$PORT; }

# One timed run of a tool; prints "wall cpu rssKB ok". nuvget and aria2c verify the MD5 of the
# file they downloaded; "curl+md5sum" is curl's single stream followed by md5sum of its file, the
# loopback limit of a verified download. "nuvget-name" reaches the server by a host name with a
# port (localhost:PORT), which goes through name resolution.
timed() {
  local tool=$1 url="http://127.0.0.1:$DL_PORT/pkg.bin"
  rm -rf "$OUT/dl" && mkdir -p "$OUT/dl"
  local cmd
  case $tool in
    nuvget) cmd=("$NUVGET" "$url" "$OUT/dl" --md5 "$MD5") ;;
    nuvget-name) cmd=("$NUVGET" "http://localhost:$DL_PORT/pkg.bin" "$OUT/dl" --md5 "$MD5") ;;
    nuvget-before) cmd=("$NUVGET_BEFORE" "$url" "$OUT/dl" --md5 "$MD5") ;;
    aria2c) cmd=(aria2c -q -x16 -s16 -k1M --checksum=md5="$MD5" --allow-overwrite=true --file-allocation=falloc -d "$OUT/dl" -o pkg.bin "$url") ;;
    curl+md5sum) cmd=(sh -c "curl -s -o '$OUT/dl/pkg.bin' '$url' && md5sum '$OUT/dl/pkg.bin' >/dev/null") ;;
    curl) cmd=(curl -s -o "$OUT/dl/pkg.bin" "$url") ;;
  esac
  local t0 t1
  t0=$(date +%s.%N)
  /usr/bin/time -f '%U %S %M' -o "$OUT/time.txt" "${cmd[@]}" 2>/dev/null
  t1=$(date +%s.%N)
  read -r u s m <"$OUT/time.txt"
  local ok=0
  [ "$(md5sum "$OUT/dl/pkg.bin" 2>/dev/null | cut -d' ' -f1)" = "$MD5" ] && ok=1
  [ "${tool%%-*}" = nuvget ] && cp "$OUT/dl/nuvget.log" "$OUT/last-$tool.log" 2>/dev/null
  echo "$(echo "$t1 - $t0" | bc -l) $(echo "$u + $s" | bc -l) $m $ok"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

declare -A WALL  # "profile/tool" -> median wall seconds, for ratios across profiles
BEFORE=""
if [ -n "${NUVGET_BEFORE:-}" ]; then
  [ -x "$NUVGET_BEFORE" ] || { echo "NUVGET_BEFORE is no executable ($NUVGET_BEFORE)"; exit 1; }
  BEFORE=" nuvget-before"
fi

# $1 = name, $2 = key, $3 = http-level directives, $4 = location directives, $5 = tools,
# $6 = "proxy" to download through the delay proxy.
run_profile() {
  local name=$1 key=$2 http=$3 location=$4 tools=$5 via=${6:-}
  start_nginx "$http" "$location"
  [ "$via" = proxy ] && start_proxy
  echo
  echo "profile: $name (load before: $(cut -d' ' -f1-3 /proc/loadavg))"
  local tool
  for tool in $tools; do : >"$OUT/$tool.w"; : >"$OUT/$tool.c"; : >"$OUT/$tool.m"; : >"$OUT/$tool.ok"; done
  for _ in $(seq "$RUNS"); do
    for tool in $tools; do
      read -r w c m ok < <(timed "$tool")
      echo "$w" >>"$OUT/$tool.w"; echo "$c" >>"$OUT/$tool.c"; echo "$m" >>"$OUT/$tool.m"
      echo "$ok" >>"$OUT/$tool.ok"
    done
  done
  printf '  %-12s %8s %13s %8s %7s %8s %s\n' tool wall_s spread_s MB/s cpu_s rss_MB verified
  declare -A C
  for tool in $tools; do
    WALL[$key/$tool]=$(median <"$OUT/$tool.w"); C[$tool]=$(median <"$OUT/$tool.c")
    local rss lo hi verified=yes
    rss=$(sort -n "$OUT/$tool.m" | tail -1)
    lo=$(sort -n "$OUT/$tool.w" | head -1); hi=$(sort -n "$OUT/$tool.w" | tail -1)
    grep -q 0 "$OUT/$tool.ok" && verified=NO
    printf '  %-12s %8.2f %6.2f-%-6.2f %8.1f %7.2f %8.1f %s\n' "$tool" "${WALL[$key/$tool]}" "$lo" "$hi" \
      "$(echo "$SIZE_MB / ${WALL[$key/$tool]}" | bc -l)" "${C[$tool]}" "$(echo "$rss / 1024" | bc -l)" \
      "$verified"
  done
  printf '  aria2c/nuvget: wall %.2f, cpu %.2f (above 1: nuvget is faster)\n' \
    "$(echo "${WALL[$key/aria2c]} / ${WALL[$key/nuvget]}" | bc -l)" \
    "$(echo "${C[aria2c]} / ${C[nuvget]}" | bc -l)"
  if [ -n "${WALL[$key/curl+md5sum]:-}" ]; then
    printf '  nuvget/(curl+md5sum): wall %.2f\n' \
      "$(echo "${WALL[$key/nuvget]} / ${WALL[$key/curl+md5sum]}" | bc -l)"
  fi
  echo "  load after: $(cut -d' ' -f1-3 /proc/loadavg)"
  [ "$via" = proxy ] && stop_proxy
  stop_nginx
}

echo "file: ${SIZE_MB} MiB, md5 $MD5, median of $RUNS runs, tools alternating; private network namespace, shipped endpoints"
wanted() { [[ " $PROFILES " == *" $1 "* ]]; }
wanted unlimited && run_profile unlimited unlimited "" "" "nuvget aria2c curl+md5sum nuvget-name$BEFORE"
wanted throttled && run_profile "4 MiB/s per connection" throttled "" "limit_rate 4m;" "nuvget aria2c$BEFORE"
# Connection serial numbers ending in 0 or 5: one connection in five, whoever opens it.
wanted stragglers && run_profile "stragglers: one connection in five at 256 KiB/s, the rest 4 MiB/s" \
  stragglers 'map $connection $bench_rate { ~[05]$ 256k; default 4m; }' 'limit_rate $bench_rate;' \
  "nuvget aria2c$BEFORE"
if [ -n "${WALL[stragglers/nuvget]:-}" ] && [ -n "${WALL[throttled/nuvget]:-}" ]; then
  echo
  printf 'nuvget stragglers / nuvget 4 MiB/s: %.2f; aria2c: %.2f\n' \
    "$(echo "${WALL[stragglers/nuvget]} / ${WALL[throttled/nuvget]}" | bc -l)" \
    "$(echo "${WALL[stragglers/aria2c]} / ${WALL[throttled/aria2c]}" | bc -l)"
fi
wanted latency || exit 0
if tc qdisc add dev lo root netem delay 20ms 2>/dev/null; then
  run_profile "40 ms round trip (netem)" latency "" "" "nuvget aria2c curl$BEFORE"
  tc qdisc del dev lo root
elif [ -x "$PROXY" ]; then
  run_profile "40 ms round trip (user-space delay proxy)" latency "" "" "nuvget aria2c curl$BEFORE" proxy
else
  echo; echo "profile: 40 ms round trip: skipped, no netem qdisc here and delay_proxy is not built ($PROXY)"
fi
