#pragma once

#include "tools/modelbuilder/Trajectories.h"

#include <Eigen/Core>

#include <string>
#include <vector>

namespace torvik::builder {

// The choices a pca position makes from what its block visited: which candidate pre-voltages
// vary (the input mask), which currents a network must supply (the output mask: they vary and
// reach a state or the output), and the projection of the kept candidates onto features.
struct PcaLayout {
    std::vector<int> inputs;    // candidate indices fed to the projection
    std::vector<int> outputs;   // current indices the network supplies
    Eigen::MatrixXd projection; // k x m

    std::vector<int32_t> inputMask() const;
    std::vector<int32_t> outputMask() const;
    std::string outputNames() const;
};

// `reaches[j]`: current j has a path to a state or to the output.
PcaLayout choosePcaLayout(const BlockTrace<4>& trace, const bool reaches[4]);

// Trace points to train on: at most maxPoints of the trace, evenly spread, plus `copies` jittered
// copies of each, spread by `jitter` times each axis' range. Deterministic for a seed.
std::vector<int> pickTracePoints(std::size_t traceSize, int maxPoints);

} // namespace torvik::builder
