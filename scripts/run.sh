#!/usr/bin/env bash
# Builds everything and runs the demo: a 1 s, 110 Hz, 0.5 V sine through the preamp's four
# blocks (exact engine) at gain 0, 8 and 16, tone 7/7/7. Writes the output volts to out/ and
# a plot of the waveforms to out/chain-sine-110hz.png. Then re-amps the bundled demo take (a
# synthetic DI guitar) through the plug-in's processor with torvik-render, at every oversampling
# factor with fresh and with aged tubes, into out/demo-*.wav.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
mkdir -p out
./build/tools/torvik-testtone --freq 110 --amp 0.5 --seconds 1 --rate 44100 > out/sine-110hz.f64
for gain in 0 8 16; do
  echo "gain $gain:"
  ./build/tools/torvik-chain --engine exact --gain "$gain" --tone 7,7,7 < out/sine-110hz.f64 > "out/chain-gain$gain.f64"
done
gnuplot scripts/plot-chain.gp
echo "wrote out/chain-gain{0,8,16}.f64 and out/chain-sine-110hz.png"

./build/tools/torvik-demotake out/demo-di.wav
for tubes in fresh aged; do
  for factor in 1 2 4 8 16; do
    ./build/tools/torvik-render out/demo-di.wav "out/demo-$tubes-x$factor.wav" --tubes "$tubes" --oversampling "$factor"
  done
done
echo "wrote out/demo-di.wav and out/demo-{fresh,aged}-x{1,2,4,8,16}.wav"
