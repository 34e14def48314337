#pragma once

#include "processor/LevelSnapshot.h"

#include <array>

namespace torvik::glow {

// Brightness curve of the valves: entry 0 is dark, entry i (1..49) is e^(2.5 (i/49 - 1)) to six
// decimal places (0.086382 ... 1.0).
const std::array<float, 50>& table();

// Mean and deviation of one chain's plate current from block 4's running sums.
struct Level {
    double mean = 0.0;
    double deviation = 0.0;
};
Level levelOf(const BlockLevels& levels);

// The glow index 0..49 of one chain: four deviations above the mean, on a scale where a mean of
// 0.007 A is full scale, k = 50 (L - m) / (0.007 - m) with L = 4 d + m rounded to single precision.
// A mean at or above full scale (no headroom left) shows the brightest step if there is any
// deviation and the darkest if there is none.
int indexFor(const Level& level);

// The index for the louder of two chains (chain 0 on ties); chain 1 only counts in stereo.
int indexFor(const Level& chain0, const Level& chain1, bool stereo);

// The value the tube views are set to for an index: table()[index] * 24 in single precision,
// 0 for index 0 up to 24 for index 49 (the views snap it to their steps 0..23).
float viewValueFor(int index);

} // namespace torvik::glow
