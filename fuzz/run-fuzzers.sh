#!/usr/bin/env bash
# Runs both model file fuzzers for SECONDS each, seeded from SEED_DIR/std and
# SEED_DIR/pca. Builds and configures nothing; fails when a fuzzer finds a crash.
#   fuzz/run-fuzzers.sh BUILD_DIR SEED_DIR SECONDS
set -euo pipefail
if [ $# -ne 3 ]; then
  echo "usage: $0 BUILD_DIR SEED_DIR SECONDS" >&2
  exit 2
fi
build=$1
seeds=$2
seconds=$3

for variant in std pca; do
  binary="$build/fuzz/fuzz_model_$variant"
  if [ ! -x "$binary" ]; then
    echo "missing $binary: build with -DTORVIK_BUILD_FUZZERS=ON" >&2
    exit 2
  fi
  corpus="$build/fuzz/corpus-$variant"
  artifacts="$build/fuzz/artifacts-$variant/"
  mkdir -p "$corpus" "$artifacts"
  inputs=("$corpus")
  if [ -d "$seeds/$variant" ]; then
    inputs+=("$seeds/$variant")
  else
    echo "warning: no seeds in $seeds/$variant" >&2
  fi
  echo "== fuzz_model_$variant for $seconds s"
  # Any single allocation above 64 MB counts as a failure: reading is meant to
  # allocate in proportion to the input, and inputs stay below 64 KB.
  "$binary" -max_total_time="$seconds" -max_len=65536 -malloc_limit_mb=64 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts" -print_final_stats=1 "${inputs[@]}"
done
