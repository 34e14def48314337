#pragma once

#include <Eigen/Core>

#include <vector>

namespace torvik::builder {

// Input normalisation ranges and output decoding as a model file stores them (single precision),
// with the same arithmetic the plug-in uses, so training sees exactly what the plug-in computes.
struct InputScale {
    std::vector<float> lo, hi;

    // Spans the columns of `features` with a relative margin on each side.
    static InputScale spanning(const Eigen::MatrixXd& features, double margin);
    Eigen::MatrixXd normalise(const Eigen::MatrixXd& features) const;
};

struct OutputScale {
    std::vector<float> outMin, outMax;

    // Bipolar decoding maps -1..1 onto outMin - range .. outMax. A current that never goes
    // negative gets outMin - range = 0 exactly, so the clamp at -1 gives exactly no current;
    // others are centred on outMin.
    static OutputScale bipolar(const Eigen::MatrixXd& targets, double margin);
    // Unipolar decoding maps 0..1 onto outMin .. outMax; outMin = 0 for currents that never go
    // negative, so the clamp at 0 gives exactly no current.
    static OutputScale unipolar(const Eigen::MatrixXd& targets, double margin);
    Eigen::MatrixXd normalise(const Eigen::MatrixXd& targets) const;
    // The normalised floor of each output (where the clamp gives zero current), or -inf, and the
    // normalised value of currents that count as off (below 1e-7 of the range).
    Eigen::VectorXd floors(bool bipolarDecoding) const;
    std::vector<bool> zeroFloor;
    double range(int o) const { return double(outMax[o]) - double(outMin[o]); }
};

} // namespace torvik::builder
