#!/usr/bin/env bash
# Redraws the README's pictures of the windows (docs/screenshots/) from the skin archive embedded
# in the build. Run it again whenever the skin documents or the artwork change.
set -euo pipefail
BUILD=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$BUILD" --target skinshot -j"$(nproc)" >/dev/null
out="$here/docs/screenshots"
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$BUILD/tools/skinshot/skinshot" "$tmp" >/dev/null
for name in main-before main-download main-after main-failed mask messagebox privacybox redeembox; do
  cp "$tmp/$name.png" "$out/$name.png"
done
echo "wrote $(ls "$out" | wc -l) pictures to $out"
