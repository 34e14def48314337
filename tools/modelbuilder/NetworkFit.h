#pragma once

#include <Eigen/Core>

#include <cstdint>
#include <vector>

namespace torvik::builder {

// A one-hidden-layer network in normalised units: inputs in -1..1, outputs y = W2·s(W1·x + b1) + b2
// with the softsign s(a) = a / (1 + |a|), the form the plug-in evaluates with unit slopes.
struct NetworkWeights {
    Eigen::MatrixXd W1;  // h x n
    Eigen::VectorXd b1;  // h
    Eigen::MatrixXd W2;  // q x h
    Eigen::VectorXd b2;  // q

    int inputs() const { return static_cast<int>(W1.cols()); }
    int hidden() const { return static_cast<int>(W1.rows()); }
    int outputs() const { return static_cast<int>(W2.rows()); }

    static NetworkWeights random(int n, int h, int q, std::uint32_t seed);
    // The same network with more hidden neurons (the new ones start small).
    NetworkWeights grown(int h, std::uint32_t seed) const;
    Eigen::VectorXd evaluate(const Eigen::VectorXd& x) const;
    // With weights rounded to single precision, as a model file stores them.
    NetworkWeights roundedToFloat() const;
};

struct FitData {
    Eigen::MatrixXd inputs;   // N x n, normalised
    Eigen::MatrixXd targets;  // N x q, normalised
    // Per output, the value below which the plug-in clamps it (or -inf). A target at that floor
    // is met by any output at or below it, so a current that is off can be exactly zero.
    Eigen::VectorXd floors;

    // The error of output o of row r for the network value y.
    double residual(Eigen::Index r, Eigen::Index o, double y) const {
        const double t = targets(r, o);
        if (floors.size() && t <= floors[o]) return y > floors[o] ? y - floors[o] : 0.0;
        return y - t;
    }
};

struct FitError {
    double rms = 0.0;  // over all samples and outputs
    double max = 0.0;
};

FitError measureFit(const NetworkWeights& w, const FitData& data);

struct FitOptions {
    int maxIterations = 200;
    double targetRms = 1e-4;
};

struct FitResult {
    NetworkWeights weights;
    FitError error;
    int iterations = 0;
};

// Levenberg-Marquardt on the sum of squared errors, from the given start.
FitResult fitNetwork(const FitData& data, NetworkWeights start, const FitOptions& options);

// Fits with the hidden sizes in turn (from `warm` when it has n inputs and q outputs, skipping the
// smaller sizes) until the target is met or more neurons stop paying (less than 20 % better).
FitResult fitGrowing(const FitData& data, const std::vector<int>& hiddenSizes, const NetworkWeights& warm,
                     const FitOptions& options, std::uint32_t seed);

} // namespace torvik::builder
