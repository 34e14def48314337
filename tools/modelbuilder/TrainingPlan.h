#pragma once

#include "tools/modelbuilder/NetworkFit.h"

#include <cstdint>
#include <string>
#include <vector>

namespace torvik::builder {

// How the networks of a block are trained.
struct TrainingPlan {
    // Running rates whose port equations the training targets come from, each with a weight
    // (how many times its rows enter the fit). Blocks whose file serves every rate are trained
    // on several; the rows of the rates hosts use most weigh more.
    std::vector<double> rates;
    std::vector<int> rateWeights;
    int maxTracePoints = 1500;   // trajectory points kept per position
    int jitteredCopies = 1;      // extra points around each, spread by `jitter` of each axis' range
    double jitter = 0.03;
    std::vector<int> hiddenSizes = {4, 6, 8, 12, 16};
    FitOptions fit;
    double restartAboveRms = 4e-3;  // a warm-started fit worse than this is tried again from scratch
    std::uint32_t seed = 1;
};

// What a block's build reached, per position (or per rate for block 3).
struct PositionReport {
    std::string block;
    unsigned position = 0;
    int hidden = 0;
    int networks = 1;
    int features = 0;
    std::string outputs;              // modelled currents, e.g. "i0 i1"
    std::vector<double> rmsAmps;      // per modelled current, after rounding to single precision
    std::vector<double> maxAmps;
    double rmsNormalised = 0.0;
};

} // namespace torvik::builder
