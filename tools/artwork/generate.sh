#!/usr/bin/env bash
# Regenerates the editor's twelve images into editor/artwork/ (the build embeds them from there):
#   bash tools/artwork/generate.sh            everything (the valve strips take a few minutes)
#   bash tools/artwork/generate.sh --flat     only the flat artwork, keeping the valve strips
# Needs povray, imagemagick and fonts-dejavu-core (installed here if missing).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=$root/editor/artwork
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

missing=()
command -v povray >/dev/null || missing+=(povray)
[ -x /usr/bin/convert ] || missing+=(imagemagick)
[ -r /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ] || missing+=(fonts-dejavu-core)
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

echo "flat artwork:"
bash "$here/draw-2d.sh" "$out" "$work/flat"
if [ "${1:-}" != "--flat" ]; then
  echo "valve strips (POV-Ray, 24 frames):"
  bash "$here/render-tubes.sh" "$out" "$work/tubes"
fi
echo "images in $out:"
ls -l "$out" | awk 'NR > 1 { printf "  %-22s %8d bytes\n", $9, $5 }'
