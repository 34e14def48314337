#!/usr/bin/env bash
# Measures the network chain against the exact chain over every supported running rate for both
# tube families and draws the result: scripts/plot-fidelity.sh MODEL_DIR OUT.png
# Fails when a cell misses its target, after drawing the picture.
set -euo pipefail
models=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
fidelity=${FIDELITY:-$here/../build/tools/torvik-fidelity}
rates=22050,24000,32000,64000,88200,96000,128000,176400,192000,256000,352800,384000,512000,705600,768000,1411200,1536000,2822400,3072000
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
missed=0
for family in fresh aged; do
  echo "fidelity of the $family set..."
  # Exit 1 means cells missed their targets: the table is still drawn (that is what it shows), and
  # this script fails at the end. Anything else is a failure to measure.
  status=0
  "$fidelity" --models "$models" --family "$family" --rates "$rates" > "$work/$family.txt" || status=$?
  if [ "$status" -eq 1 ]; then
    missed=1
    tail -n 2 "$work/$family.txt"
  elif [ "$status" -ne 0 ]; then
    echo "torvik-fidelity failed ($status) for the $family set" >&2
    exit "$status"
  fi
  [ -n "${KEEP_TABLES:-}" ] && cp "$work/$family.txt" "$KEEP_TABLES-$family.txt"
  # rate, gain, ESR: one row a cell
  awk 'NR > 1 && $1 ~ /^[0-9]+$/ { print $1, $2, $(NF-1) }' "$work/$family.txt" > "$work/$family.dat"
done
gnuplot -e "fresh='$work/fresh.dat'; aged='$work/aged.dat'; out='$out'" "$here/plot-fidelity.gp"
echo "wrote $out"
if [ "$missed" -ne 0 ]; then
  echo "some cells miss their fidelity target (see the tables above and the picture)" >&2
  exit 1
fi
