#pragma once

#include "model/ExactBlock.h"
#include "modeldata/PCAModelFileF.h"
#include "tools/modelbuilder/NetworkFit.h"
#include "tools/modelbuilder/PcaPosition.h"
#include "tools/modelbuilder/Scaling.h"
#include "tools/modelbuilder/TrainingPlan.h"
#include "tools/modelbuilder/Trajectories.h"

#include <array>
#include <random>
#include <vector>

namespace torvik::builder {

// Which port currents reach a state or the block's output at the block's present position.
template <class Circuit>
void currentsReaching(const Circuit& block, bool reaches[4]) {
    for (int j = 0; j < 4; ++j) {
        const int column = Circuit::S + Circuit::U + j;
        reaches[j] = block.ABC.col(column).cwiseAbs().sum() > 0.0 || block.Out(0, column) != 0.0;
    }
}

// Training rows of a four-port block: pre-voltages and the exact currents they give.
struct PcaSamples {
    std::vector<std::array<double, 4>> p, i;
};

// Solves the port equations exactly at the trace points chosen by the plan (and jittered copies),
// at every training rate of the plan, each rate's rows repeated by its weight.
template <class Circuit>
PcaSamples solvePcaSamples(ExactBlock<Circuit>& block, const BlockTrace<4>& trace, const TrainingPlan& plan,
                           std::uint32_t seed) {
    std::vector<std::array<double, 4>> points, guesses;
    std::array<double, 4> lo, hi;
    lo.fill(INFINITY);
    hi.fill(-INFINITY);
    for (const auto& p : trace.p)
        for (int j = 0; j < 4; ++j) lo[j] = std::min(lo[j], p[j]), hi[j] = std::max(hi[j], p[j]);
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (int n : pickTracePoints(trace.size(), plan.maxTracePoints)) {
        points.push_back(trace.p[n]);
        guesses.push_back(trace.i[n]);
        for (int c = 0; c < plan.jitteredCopies; ++c) {
            auto p = trace.p[n];
            for (int j = 0; j < 4; ++j) p[j] += plan.jitter * (hi[j] - lo[j]) * gauss(rng);
            points.push_back(p);
            guesses.push_back(trace.i[n]);
        }
    }
    PcaSamples samples;
    for (std::size_t r = 0; r < plan.rates.size(); ++r) {
        block.setRunningRate(plan.rates[r]);
        for (std::size_t n = 0; n < points.size(); ++n) {
            typename Circuit::VecP p;
            typename Circuit::VecI i;
            for (int j = 0; j < 4; ++j) p[j] = points[n][j], i[j] = guesses[n][j];
            if (!solvePortEquations(block, p, block.K, i).converged) continue;
            std::array<double, 4> current;
            for (int j = 0; j < 4; ++j) current[j] = i[j];
            for (int w = 0; w < plan.rateWeights[r]; ++w) {
                samples.p.push_back(points[n]);
                samples.i.push_back(current);
            }
        }
    }
    return samples;
}

// Points scattered closely around the resting point (the spread of each axis is `spread` times its
// standard deviation along the trace), solved exactly: small signals are most of what a preamp
// plays, and their gain is the slope of the currents right there.
template <class Circuit>
void addRestingCloud(ExactBlock<Circuit>& block, const BlockTrace<4>& trace, const std::array<double, 4>& restP,
                     const std::array<double, 4>& restI, int count, double spread, std::uint32_t seed,
                     PcaSamples& samples) {
    std::array<double, 4> mean{}, sd{};
    for (const auto& p : trace.p)
        for (int j = 0; j < 4; ++j) mean[j] += p[j] / double(trace.size());
    for (const auto& p : trace.p)
        for (int j = 0; j < 4; ++j) sd[j] += (p[j] - mean[j]) * (p[j] - mean[j]) / double(trace.size());
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (int n = 0; n < count; ++n) {
        typename Circuit::VecP p;
        typename Circuit::VecI i;
        for (int j = 0; j < 4; ++j) p[j] = restP[j] + spread * std::sqrt(sd[j]) * gauss(rng), i[j] = restI[j];
        if (!solvePortEquations(block, p, block.K, i).converged) continue;
        std::array<double, 4> pa, ia;
        for (int j = 0; j < 4; ++j) pa[j] = p[j], ia[j] = i[j];
        samples.p.push_back(pa);
        samples.i.push_back(ia);
    }
}

// The resting point of a block at `rate` from its operating-point table (false if absent).
bool restingPoint(const std::vector<double>& table, double rate, std::array<double, 4>& p, std::array<double, 4>& i);

struct TrainedPcaNet {
    NetworkWeights weights;  // as stored (single precision)
    PCAModelNet record;
};

// Features of the samples through the layout's projection.
Eigen::MatrixXd pcaFeatures(const PcaLayout& layout, const PcaSamples& samples);

// Fits one network for the layout's outputs, growing the hidden layer until the plan's accuracy
// target is met (or more neurons stop helping). Starts from `warm` when it has the right shape.
// Only the samples whose feature lies in [boxLow, boxHigh) of feature 0 are used when a box is given.
TrainedPcaNet trainPcaNet(const PcaLayout& layout, const PcaSamples& samples, const TrainingPlan& plan,
                          const NetworkWeights& warm, PositionReport& report,
                          const std::vector<float>& boxLow = {}, const std::vector<float>& boxHigh = {});

// Adds the block's resting point at `rate` from its operating-point table, `copies` times, so the
// network holds the chain's bias point exactly.
void appendRestingPoint(PcaSamples& samples, const std::vector<double>& table, double rate, int copies);

PCAModelPosition pcaPositionRecord(const PcaLayout& layout, std::vector<PCAModelNet> nets,
                                   const std::vector<double>& table);

} // namespace torvik::builder
