#!/usr/bin/env bash
# The furthest the product goes today, on local stand-ins only: the start-up against the shipped
# resources, then (once the engine and the testbed are built) a real download from loopback.
set -uo pipefail
BUILD=${1:-build}
BUILD=$(cd "$BUILD" && pwd)
NUV="$BUILD/src/shell/nuv"
TESTBED="$BUILD/tools/testbed/testbed"
NUVGET="$BUILD/tools/nuvget/nuvget"

DEMO="$BUILD/demo"
rm -rf "$DEMO"
mkdir -p "$DEMO/tmp" "$DEMO/root/var/lib" "$DEMO/root/opt" "$DEMO/res" "$DEMO/lock" "$DEMO/downloads"
# Everything the program touches stays in the demo folder: temporary folder (and with it the log),
# registry, lock files, system folders, and the endpoint table pointed at loopback.
export TMPDIR="$DEMO/tmp" NUV_REGISTRY_DIR="$DEMO/registry" NUV_LOCK_DIR="$DEMO/lock"
export NUV_ROOT_PREFIX="$DEMO/root" NUV_RESOURCE_DIR="$DEMO/res"
cp "$(dirname "$0")/../tests/fixtures/loopback/endpoints.xml" "$DEMO/res/"

echo "== 1. start-up of the downloader (the window does not exist yet; it prints what it loaded)"
"$NUV"
echo "   exit code $?; its log ($TMPDIR/Veltrin/NUV/vtNUV.log):"
sed 's/^/   | /' "$TMPDIR/Veltrin/NUV/vtNUV.log"

echo "== 2. a second start while the first holds the single-instance lock ends with -1"
exec 9>"$NUV_LOCK_DIR/Capturo_nuv.lock"
flock -n 9
"$NUV" >/dev/null
echo "   exit code $? (255 = -1); log says: $(grep -h 'Already exist' "$TMPDIR/Veltrin/NUV/vtNUV.log")"
exec 9>&-

if [ -x "$TESTBED" ] && [ -x "$NUVGET" ]; then
  echo "== 3. a real download: 256 MiB from the local testbed over 24 connections, throttled per connection"
  "$TESTBED" --generate /pkg/capturo-setup.run=256M --fault '*=throttle:8388608' \
    --port-file "$DEMO/port" --time-limit 300 >"$DEMO/testbed.out" 2>&1 &
  tb=$!
  for _ in $(seq 50); do [ -s "$DEMO/port" ] && break; sleep 0.1; done
  port=$(cat "$DEMO/port")
  md5=$(grep -o 'md5=[0-9a-f]*' "$DEMO/testbed.out" | head -1 | cut -d= -f2)
  "$NUVGET" "http://127.0.0.1:$port/pkg/capturo-setup.run" "$DEMO/downloads" ${md5:+--md5 "$md5"}
  rc=$?
  kill "$tb" 2>/dev/null; wait "$tb" 2>/dev/null
  echo "   nuvget exit code $rc (0 = complete and verified${md5:+ against md5 $md5})"
  ls -l "$DEMO/downloads" | sed 's/^/   | /'
else
  echo "== 3. (the download engine and the testbed are not built yet: no download to show)"
fi
echo "== demo done; everything it wrote is under $DEMO"
