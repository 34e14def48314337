#pragma once

#include <Eigen/Core>

#include <cstdint>

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

} // namespace torvik::builder
