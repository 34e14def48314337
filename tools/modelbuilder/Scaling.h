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

    // Bipolar decoding maps -1..1 onto outMin - range .. outMax: centre the targets on outMin.
    static OutputScale bipolar(const Eigen::MatrixXd& targets, double margin);
    // Unipolar decoding maps 0..1 onto outMin .. outMax.
    static OutputScale unipolar(const Eigen::MatrixXd& targets, double margin);
    Eigen::MatrixXd normalise(const Eigen::MatrixXd& targets) const;
    double range(int o) const { return double(outMax[o]) - double(outMin[o]); }
};

} // namespace torvik::builder
