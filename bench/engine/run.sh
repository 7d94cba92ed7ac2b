#!/usr/bin/env bash
# Downloads one 1 GiB random file from nginx on loopback with nuvget, aria2c and curl in turn, under
# three server profiles (the 40 ms one through netem, or through tools/delay_proxy where the kernel
# has no netem), and prints median wall time, MB/s, CPU seconds and peak RSS per tool with
# the ratios nuvget/aria2c. Never run by CI.
#   bench/engine/run.sh [BUILD_DIR]     env: RUNS (default 3), SIZE_MB (default 1024),
#   PROFILES (default "unlimited throttled latency": the profiles to run)
set -uo pipefail
BUILD=$(cd "${1:-build}" && pwd)
NUVGET="$BUILD/tools/nuvget/nuvget"
RUNS=${RUNS:-3}
SIZE_MB=${SIZE_MB:-1024}
PROFILES=${PROFILES:-unlimited throttled latency}
OUT="$(cd "$(dirname "$0")/.." && pwd)/out/engine"
PORT=18480
# The port the tools download from: nginx's own, or the delay proxy's in front of it.
DL_PORT=$PORT
PROXY="$BUILD/tools/delay_proxy/delay_proxy"
PROXY_PORT=18481
# The endpoint table on loopback: a host with a port is no name the system resolver knows, and the
# HTTP DNS fallback must not leave this machine.
export NUV_RESOURCE_DIR="$(cd "$(dirname "$0")/../.." && pwd)/tests/fixtures/loopback"

[ -x "$NUVGET" ] || { echo "nuvget is not built ($NUVGET)"; exit 1; }
for t in nginx aria2c curl /usr/bin/time; do
  command -v "$t" >/dev/null || { echo "missing $t (scripts/bootstrap.sh installs it)"; exit 1; }
done

mkdir -p "$OUT/www" "$OUT/dl"
if [ "$(stat -c %s "$OUT/www/pkg.bin" 2>/dev/null)" != "$((SIZE_MB * 1048576))" ]; then
  echo "making a ${SIZE_MB} MiB random file"
  head -c "$((SIZE_MB * 1048576))" /dev/urandom >"$OUT/www/pkg.bin"
fi
MD5=$(md5sum "$OUT/www/pkg.bin" | cut -d' ' -f1)

# $1 = profile name, $2 = extra nginx location directives, $3 = command prefix (netns) or "".
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
  server {
    listen 127.0.0.1:$PORT;
    root $OUT/www;
    location / { $2 }
  }
}
CONF
  $3 nginx -c "$OUT/nginx.conf" -p "$OUT" &
  NGINX_PID=$!
  for _ in $(seq 50); do $3 curl -s -o /dev/null "http://127.0.0.1:$PORT/" && break; sleep 0.1; done
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

# One timed download; nuvget and aria2c both verify the MD5 (curl cannot). Prints "wall cpu rssKB ok".
timed() {
  local prefix=$1 tool=$2 url="http://127.0.0.1:$DL_PORT/pkg.bin"
  rm -rf "$OUT/dl" && mkdir -p "$OUT/dl"
  local cmd
  case $tool in
    nuvget) cmd=("$NUVGET" "$url" "$OUT/dl" --md5 "$MD5") ;;
    aria2c) cmd=(aria2c -q -x16 -s16 -k1M --checksum=md5="$MD5" --allow-overwrite=true --file-allocation=falloc -d "$OUT/dl" -o pkg.bin "$url") ;;
    curl) cmd=(curl -s -o "$OUT/dl/pkg.bin" "$url") ;;
  esac
  local t0 t1
  t0=$(date +%s.%N)
  $prefix /usr/bin/time -f '%U %S %M' -o "$OUT/time.txt" "${cmd[@]}" 2>/dev/null
  t1=$(date +%s.%N)
  read -r u s m <"$OUT/time.txt"
  local ok=0
  [ "$(md5sum "$OUT/dl/pkg.bin" 2>/dev/null | cut -d' ' -f1)" = "$MD5" ] && ok=1
  echo "$(echo "$t1 - $t0" | bc -l) $(echo "$u + $s" | bc -l) $m $ok"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

# $4 = "proxy" to download through the delay proxy.
run_profile() {
  local name=$1 directives=$2 prefix=$3 via=${4:-}
  start_nginx "$name" "$directives" "$prefix"
  [ "$via" = proxy ] && start_proxy
  echo
  echo "profile: $name"
  printf '  %-8s %9s %9s %9s %10s %s\n' tool wall_s MB/s cpu_s rss_MB verified
  declare -A W C
  for tool in nuvget aria2c curl; do
    local runs=$RUNS
    # A single connection at 4 MB/s takes minutes for 1 GiB: one run is enough to show it.
    [ "$tool" = curl ] && [ -n "$directives" ] && runs=1
    : >"$OUT/w" ; : >"$OUT/c" ; : >"$OUT/m"; local allok=1
    for _ in $(seq "$runs"); do
      read -r w c m ok < <(timed "$prefix" "$tool")
      echo "$w" >>"$OUT/w"; echo "$c" >>"$OUT/c"; echo "$m" >>"$OUT/m"
      [ "$ok" = 1 ] || allok=0
    done
    W[$tool]=$(median <"$OUT/w"); C[$tool]=$(median <"$OUT/c")
    local rss; rss=$(sort -n "$OUT/m" | tail -1)
    printf '  %-8s %9.2f %9.1f %9.2f %10.1f %s\n' "$tool" "${W[$tool]}" \
      "$(echo "$SIZE_MB / ${W[$tool]}" | bc -l)" "${C[$tool]}" "$(echo "$rss / 1024" | bc -l)" \
      "$([ $allok = 1 ] && echo yes || echo NO)"
  done
  printf '  nuvget/aria2c: wall %.2f, cpu %.2f (below 1 is better)\n' \
    "$(echo "${W[nuvget]} / ${W[aria2c]}" | bc -l)" "$(echo "${C[nuvget]} / ${C[aria2c]}" | bc -l)"
  [ "$via" = proxy ] && stop_proxy
  stop_nginx
}

echo "file: ${SIZE_MB} MiB, md5 $MD5, median of $RUNS runs"
wanted() { [[ " $PROFILES " == *" $1 "* ]]; }
wanted unlimited && run_profile unlimited "" ""
wanted throttled && run_profile "limit_rate 4m per connection" "limit_rate 4m;" ""
wanted latency || exit 0
netem=0
if ip netns add nuvbench 2>/dev/null; then
  ip netns exec nuvbench ip link set lo up
  if ip netns exec nuvbench tc qdisc add dev lo root netem delay 20ms 2>/dev/null; then
    run_profile "40 ms round trip (netem)" "" "ip netns exec nuvbench"
    netem=1
  fi
  ip netns del nuvbench
fi
if [ $netem = 0 ]; then
  if [ -x "$PROXY" ]; then
    run_profile "40 ms round trip (user-space delay proxy)" "" "" proxy
  else
    echo; echo "profile: 40 ms round trip: skipped, no netem qdisc here and delay_proxy is not built ($PROXY)"
  fi
fi
