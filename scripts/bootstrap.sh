#!/usr/bin/env bash
# Installs every package the build, the tests, the demo and the benchmarks need. Idempotent: prints
# nothing when everything is present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev sqlite3 libssl-dev openssl zlib1g-dev libcurl4-openssl-dev curl libcjson-dev
  libzip-dev libpugixml-dev libcpp-httplib-dev
  libgtk-3-dev libcairo2-dev libpango1.0-dev libfontconfig-dev libx11-dev
  fonts-noto-cjk  # the one face the skins are drawn with (their names are aliased to it)
  librsvg2-bin    # rsvg-convert rasterises the skin's SVG artwork at build time
  xdotool x11-apps netpbm dbus-daemon  # the window test under Xvfb: input, screenshot, session bus
  libxml2-utils iproute2 util-linux procps
  mount e2fsprogs  # tests mount an ext4 image as a second drive (setpriv for another user: util-linux)
  nginx-light aria2
  xvfb clang libclang-rt-14-dev time bc
  librsvg2-bin  # rsvg-convert draws the skin artwork from its SVG sources at build time
  python3  # checks that the artwork's SVGs are what resources/skin/art/gen_art.py writes
  ccache  # compiler cache for developers' own build folders (-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bootstrap: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
