#!/usr/bin/env bash
# The furthest the product goes today, on local stand-ins only: the start-up against the shipped
# resources with its skinned window, a real download from loopback, a whole install driven from a
# console, and the skin's windows as pictures.
set -uo pipefail
BUILD=${1:-build}
BUILD=$(cd "$BUILD" && pwd)
NUV="$BUILD/src/shell/nuv"
TESTBED="$BUILD/tools/testbed/testbed"
NUVGET="$BUILD/tools/nuvget/nuvget"
NUVRUN="$BUILD/tools/nuvrun/nuvrun"
PACK="$BUILD/tools/sample-setup/sample-setup-pack"
SKINSHOT="$BUILD/tools/skinshot/skinshot"

DEMO="$BUILD/demo"
rm -rf "$DEMO"
mkdir -p "$DEMO/tmp" "$DEMO/root/var/lib" "$DEMO/root/opt" "$DEMO/res" "$DEMO/lock" "$DEMO/downloads"
# Everything the program touches stays in the demo folder: temporary folder (and with it the log),
# registry, lock files, system folders, and the endpoint table pointed at loopback.
export TMPDIR="$DEMO/tmp" NUV_REGISTRY_DIR="$DEMO/registry" NUV_LOCK_DIR="$DEMO/lock"
export NUV_ROOT_PREFIX="$DEMO/root" NUV_RESOURCE_DIR="$DEMO/res"
cp "$(dirname "$0")/../tests/fixtures/loopback/endpoints.xml" "$DEMO/res/"
# The program's temporary files (its log among them) go to a private folder of its user in there.
LOGS="$TMPDIR/nuv-$(id -u)/Veltrin/NUV"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== 1. start-up of the downloader: it prints what it loaded and opens its window (close it to go on)"
else
  echo "== 1. start-up of the downloader: it prints what it loaded (no display: the window opens off screen and ends)"
fi
"$NUV"
echo "   exit code $?; its log ($LOGS/vtNUV.log):"
sed 's/^/   | /' "$LOGS/vtNUV.log"

echo "== 2. a second start while the first holds the single-instance lock ends with -1"
# The lock is a file of root's that only root can open, as the program makes it.
exec 9>"$NUV_LOCK_DIR/Capturo_nuv.lock"
chmod 600 "$NUV_LOCK_DIR/Capturo_nuv.lock"
flock -n 9
"$NUV" >/dev/null
echo "   exit code $? (255 = -1); log says: $(grep -h 'Already exist' "$LOGS/vtNUV.log")"
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
if [ -x "$TESTBED" ] && [ -x "$NUVRUN" ] && [ -x "$PACK" ]; then
  echo "== 4. a whole install without the window: the downloader's start-up, then the run the window drives"
  echo "   (packages are sample setup programs served by the testbed; the companion app goes to the fork instance)"
  mkdir -p "$DEMO/site/capturo" "$DEMO/site/motifhub" "$DEMO/bin"
  "$PACK" --out "$DEMO/site/capturo/capturo-setup-x64.run" pid=10707 product=Capturo \
    exe=Capturo version=1.0.0.0 progress_step=20 step_ms=50 >/dev/null
  "$PACK" --out "$DEMO/site/motifhub/motifhub-setup-x64.run" pid=10819 \
    "product=Veltrin Motif Hub" exe=VeltrinMotifHub version=2.1.0.0 progress_step=50 >/dev/null
  cp "$DEMO/site/capturo/capturo-setup-x64.run" "$DEMO/site/capturo/capturo-setup-x86.run"
  cp "$DEMO/site/motifhub/motifhub-setup-x64.run" "$DEMO/site/motifhub/motifhub-setup-x86.run"
  # The program runs a package as root only when its digest matched (or it came over verified
  # HTTPS): the runtime configuration beside the package names the digests, as the maker's does.
  capturo_md5=$(md5sum <"$DEMO/site/capturo/capturo-setup-x64.run" | cut -d' ' -f1)
  motifhub_md5=$(md5sum <"$DEMO/site/motifhub/motifhub-setup-x64.run" | cut -d' ' -f1)
  cat >"$DEMO/runtime.xml" <<RUNTIME
<?xml version="1.0" encoding="UTF-8"?>
<vtrp><downloader><runtime><version>1.0.0.0</version>
<download_url>@BASE@/capturo/capturo-setup-x86.run</download_url><md5>$capturo_md5</md5>
<download_url_x64>@BASE@/capturo/capturo-setup-x64.run</download_url_x64><md5_64>$capturo_md5</md5_64>
</runtime><bind><item><ProductID>10819</ProductID><ProductName>Veltrin Motif Hub</ProductName>
<ProductExe>VeltrinMotifHub</ProductExe><Url_Down>@BASE@/motifhub/motifhub-setup-x86.run</Url_Down>
<Url_Downx64>@BASE@/motifhub/motifhub-setup-x64.run</Url_Downx64><md5>$motifhub_md5</md5>
<md5_64>$motifhub_md5</md5_64><ForceInstall>false</ForceInstall><ForkInstall>1</ForkInstall></item>
</bind></downloader></vtrp>
RUNTIME
  rm -f "$DEMO/port"
  # The product's runtime configuration is the static file beside its package.
  "$TESTBED" --serve "$DEMO/site" --template /capturo/xml/vtcapturo_official.xml="$DEMO/runtime.xml" \
    --port-file "$DEMO/port" --time-limit 300 >"$DEMO/testbed4.out" 2>&1 &
  tb=$!
  for _ in $(seq 50); do [ -s "$DEMO/port" ] && break; sleep 0.1; done
  base="http://127.0.0.1:$(cat "$DEMO/port")"
  # The shipped product configuration with its hosts moved to the testbed.
  sed -e "s#https://download.veltrin.example#$base#g" -e "s#https://platform.veltrin.example#$base#g" \
    -e "s#https://www.veltrin.example#$base#g" -e "s#https://support.veltrin.example#$base#g" \
    "$(dirname "$0")/../resources/product.xml" >"$DEMO/res/product.xml"
  # Pages open through the desktop's handler: here one that only writes down what it was given.
  printf '#!/bin/sh\necho "$@" >>"%s"\n' "$DEMO/pages-opened.txt" >"$DEMO/bin/xdg-open"
  chmod +x "$DEMO/bin/xdg-open"
  PATH="$DEMO/bin:$PATH" "$NUVRUN" --folder "$DEMO/apps" --lang en
  rc=$?
  echo "   nuvrun exit code $rc (0 = every package the run needs installed)"
  # The fork instance installs the companion app on its own; give it its time.
  for _ in $(seq 100); do grep -q 'exit!' "$LOGS/vtForkNUV.log" 2>/dev/null && break; sleep 0.2; done
  echo "   installed files (the product in the chosen folder, the companion app where its setup puts it):"
  (cd "$DEMO" && find apps root/opt -type f 2>/dev/null | sort | sed 's/^/   | /')
  echo "   the product, started as the desktop user, wrote: $(cat "$DEMO"/apps/Veltrin/Capturo/Capturo.started 2>/dev/null)"
  echo "   pages opened: $(tr '\n' ' ' <"$DEMO/pages-opened.txt" 2>/dev/null | cut -c1-300)"
  echo "   log lines of the run ($LOGS/vtNUV.log, vtForkNUV.log):"
  logs=("$LOGS/vtNUV.log" "$LOGS/vtForkNUV.log")
  grep -h -E 'StartDownTask|InstallTask res|startup ret|browser open' "${logs[@]}" 2>/dev/null |
    cut -c1-160 | sed 's/^/   | /'
  grep -h -A1 'Fork install dependent' "${logs[@]}" 2>/dev/null | sed 's/^/   | /'
  kill "$tb" 2>/dev/null; wait "$tb" 2>/dev/null
else
  echo "== 4. (the console run and the sample setup are not built yet: no install to show)"
fi
if [ -x "$SKINSHOT" ]; then
  echo "== 5. the windows of the skin archive, drawn off screen"
  "$SKINSHOT" "$DEMO/windows" >/dev/null && "$SKINSHOT" "$DEMO/windows" --scale 2 >/dev/null
  echo "   $(ls "$DEMO/windows" | wc -l) pictures in $DEMO/windows/ (the main window's four pages, the mask, the three boxes; @2x at scale 2)"
fi
echo "== demo done; everything it wrote is under $DEMO"
