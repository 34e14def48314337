#pragma once

#include "model/TubeFamily.h"

#include <vector>

namespace torvik::builder {

// Operating-point tables as the model files store them: the entry count, then per running rate
// the rate followed by p, i and x of the block at rest. The chain's DC point is solved as a whole,
// so each block rests with its input at the previous block's resting output.
struct OperatingTables {
    std::vector<std::vector<double>> block1, block2;  // per gain position
    std::vector<double> block3;
    std::vector<std::vector<double>> block4;          // per tone index
    bool converged = true;
};

// `tonePositions` limits block 4 to its first n tone indices (all 3375 for a full set).
OperatingTables solveOperatingTables(TubeFamily family, const std::vector<long>& runningRates,
                                     unsigned tonePositions, int threads);

} // namespace torvik::builder
