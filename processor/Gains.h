#pragma once

#include <array>

namespace torvik {

// Output level steps: entry i is 10^((0.46·i − 6.54)/20) in single precision, −6.54 dB to +16 dB.
const std::array<float, 50>& outputGainTable();

// Linear gain in front of the chain from the Input level 0..49: 3·(v/49), 0 to 3.
double inputGainFor(float inputLevel);

// Linear gain after the chain from the Output level 0..49; the division by 345 brings the
// circuit's output volts to the host's sample range.
double outputGainFor(float outputLevel);

// Block 4's combined tone index from the three pot positions 0..14.
unsigned toneIndexFor(float treble, float middle, float bass);

} // namespace torvik
