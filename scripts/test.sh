#!/usr/bin/env bash
# Installs what the project needs, then runs every test:
#   1. the unit tests (Release build), with the plug-in in hosts: our VST 2.4 test host, and
#      Ardour 7 headless loading the installed VST3, LV2 and VST 2.4 (a few minutes);
#   2. the same tests under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the audio-thread hand-over, and the processor's parameter, program and state changes racing
#      its audio thread, under ThreadSanitizer;
#   4. the model-file and state-document fuzzers (clang, libFuzzer) for a short while, seeded by
#      the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
FUZZ_SECONDS=${FUZZ_SECONDS:-30}
bash scripts/install-deps.sh

echo "== unit tests (and the quick model data set)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTORVIK_MODEL_SET=QUICK >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j2

# The quick set is fitted briefly, so its targets are looser than the full set's, but a set that
# has lost its fit (or an engine that no longer matches it) misses them: every 44.1 / 48 kHz cell
# at -18 dB or better, the oversampled rates at -25 dB, the median at -25 dB.
echo "== fidelity of the quick model data set against the exact chain"
./build/tools/torvik-fidelity --models build/modelset/files --quick --rates 88200,96000 \
  --target -18 --other-target -25 --median-target -25

echo "== unit tests under ASan + UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTORVIK_SANITIZE=ON -DTORVIK_BUILD_BENCH=OFF -DTORVIK_BUILD_PLUGIN=OFF -DTORVIK_MODEL_SET=OFF >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j2

echo "== audio-thread hand-over under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTORVIK_SANITIZE_THREAD=ON -DTORVIK_BUILD_BENCH=OFF -DTORVIK_BUILD_PLUGIN=OFF -DTORVIK_MODEL_SET=OFF >/dev/null
cmake --build build-tsan --target torvik_network_block_tests torvik_processor_concurrency_tests
./build-tsan/tests/model/torvik_network_block_tests --gtest_filter='*Concurrency*'
./build-tsan/tests/processor/torvik_processor_concurrency_tests

echo "== model file fuzzers (${FUZZ_SECONDS} s each)"
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVIK_BUILD_FUZZERS=ON \
  -DTORVIK_BUILD_TESTS=OFF -DTORVIK_BUILD_BENCH=OFF -DTORVIK_BUILD_PLUGIN=OFF -DTORVIK_MODEL_SET=OFF >/dev/null
cmake --build build-fuzz
bash fuzz/run-fuzzers.sh build-fuzz build/test-output/fuzz-seeds "$FUZZ_SECONDS"
echo "== fuzz_state_document for $FUZZ_SECONDS s"
mkdir -p build-fuzz/fuzz/corpus-state build-fuzz/fuzz/artifacts-state
./build-fuzz/fuzz/processor/fuzz_state_document -max_total_time="$FUZZ_SECONDS" -timeout=10 -max_len=65536 -rss_limit_mb=2048 \
  -artifact_prefix=build-fuzz/fuzz/artifacts-state/ -print_final_stats=1 \
  build-fuzz/fuzz/corpus-state build/test-output/fuzz-seeds/state
echo "all tests passed"
