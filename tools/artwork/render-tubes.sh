#!/usr/bin/env bash
# Renders the two valve film strips: 24 frames of tubes.pov (heat 0..1), each given a warm bloom
# that grows with the heat, stacked into tube.jpg; the same frames blurred and darkened into
# tube_blurred.jpg (the settings page's backdrop).
#   render-tubes.sh OUT_DIR WORK_DIR
set -euo pipefail
out=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
frames=24
mkdir -p "$out" "$work"

# TUBE_FRAMES="0 12 23" renders only those frames (for trying out the scene); no strips then.
for f in ${TUBE_FRAMES:-$(seq 0 $((frames - 1)))}; do
  n=$(printf '%02d' "$f")
  printf '\r  tubes: frame %2d of %d' $((f + 1)) "$frames"
  # +K gives the clock directly: frame f of 24 is heat f/23.
  heat=$(awk -v f="$f" -v n="$frames" 'BEGIN { printf "%.6f", f / (n - 1) }')
  povray +I"$here/tubes.pov" +O"$work/raw-$n.png" +W460 +H368 +A0.2 +AM2 +R3 +J \
    +K"$heat" -D -V +FN8 +WT2 >"$work/povray-$n.log" 2>&1 || { echo; cat "$work/povray-$n.log"; exit 1; }
  # Bloom: the bright parts, spread wide and added back; stronger as the valves heat up.
  near=$(awk -v h="$heat" 'BEGIN { printf "%.3f", 0.25 + 0.85 * h }')
  far=$(awk -v h="$heat" 'BEGIN { printf "%.3f", 0.08 + 2.1 * h * h }')
  convert "$work/raw-$n.png" \
    \( +clone -level 30%,100% -blur 0x5 -evaluate multiply "$near" \) -compose screen -composite \
    \( "$work/raw-$n.png" -level 15%,100% -blur 0x28 -fill '#ff8a3a' -colorize 100% "$work/raw-$n.png" \
       -level 15%,100% -blur 0x28 -compose multiply -composite -evaluate multiply "$far" \) \
    -compose screen -composite -depth 8 "$work/glow-$n.png"
  convert "$work/glow-$n.png" -blur 0x9 -modulate 52,80 -depth 8 "$work/blur-$n.png"
done
echo

# Baseline JPEG, three components, no chroma subsampling.
[ -n "${TUBE_FRAMES:-}" ] && exit 0
# Baseline JPEG, three components, no chroma subsampling.
jpeg() {
  local quality=$1 dest=$2
  shift 2
  convert "$@" -append -strip -colorspace sRGB -type TrueColor -interlace none -sampling-factor 1x1 \
    -quality "$quality" "$dest"
}
jpeg 88 "$out/tube.jpg" "$work"/glow-??.png
jpeg 80 "$out/tube_blurred.jpg" "$work"/blur-??.png
