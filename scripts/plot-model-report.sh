#!/usr/bin/env bash
# Draws the network error plot of every model builder report in a folder (networks-*.txt ->
# networks-*.png). Skips quietly when gnuplot is not installed.
set -euo pipefail
dir=$1
command -v gnuplot >/dev/null || { echo "gnuplot not found: no error plots"; exit 0; }
here=$(cd "$(dirname "$0")" && pwd)
for report in "$dir"/networks-*.txt; do
  [ -e "$report" ] || continue
  gnuplot -e "report='$report'; out='${report%.txt}.png'" "$here/plot-network-errors.gp"
done
