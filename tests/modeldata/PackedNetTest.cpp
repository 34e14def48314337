// The packed networks the blocks evaluate against the reference evaluator (records with the
// normalisation folded in, projected features, masked slots), on every kernel this processor runs.
#include "modeldata/NetworkSet.h"
#include "modeldata/PackedNet.h"
#include "support/ModelFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using namespace torvik;
using namespace torvik::fixtures;

namespace {

std::vector<const PackedNetKernel*> kernels() {
    std::vector<const PackedNetKernel*> k = {&genericPackedNetKernel()};
    if (avx2PackedNetKernel() != nullptr) k.push_back(avx2PackedNetKernel());
    return k;
}

std::vector<std::array<double, 4>> randomInputs(unsigned seed, int count) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> d(-1.5, 1.5);
    std::vector<std::array<double, 4>> v(count);
    for (auto& x : v)
        for (double& e : x) e = d(rng);
    return v;
}

struct PcaCase {
    unsigned features;
    unsigned hidden;
    std::array<int32_t, 4> outputMask;
    bool projected;
};

} // namespace

TEST(PackedNet, PcaNetworksEqualTheReferenceOnEveryKernel) {
    const PcaCase cases[] = {
        {2, 3, {1, 1, 1, 1}, false},   // fewer neurons than a vector: padding
        {3, 24, {1, 0, 1, 0}, true},   // masked slots, a projection folded into the weights
        {4, 9, {0, 1, 1, 1}, true},
        {1, 16, {0, 0, 1, 0}, false},
    };
    for (const PcaCase& c : cases) {
        PcaFileOptions o;
        o.featureCount = c.features;
        o.hidden = c.hidden;
        o.outputMask = c.outputMask;
        o.weightSeed = 7;
        PCAModelFileF file = makePcaFile(o);
        PCAModelPosition& position = file.groups[0].positions[0];
        if (c.projected) {
            std::mt19937 rng(c.features);
            std::uniform_real_distribution<double> d(-1.0, 1.0);
            for (double& e : position.projection) e = d(rng);
        }
        PositionData data;
        selectPosition(data, file, 0);
        ASSERT_EQ(data.usesProjection, c.projected);
        std::vector<NeuralNet> records = buildNetworks(file, data.outputMask);
        const auto packed = PackedNetworkSet::pack(file, records);
        ASSERT_EQ(packed->size(), records.size());
        for (const auto& x : randomInputs(c.hidden, 200)) {
            double features[4] = {}, expected[4] = {9, 9, 9, 9};
            projectFeatures(data, x.data(), features);
            evaluateBipolar(records[0], features, expected);
            for (const PackedNetKernel* kernel : kernels()) {
                double got[4] = {9, 9, 9, 9};
                kernel->evaluate((*packed)[0], x.data(), got);
                for (int s = 0; s < 4; ++s)
                    ASSERT_NEAR(got[s], expected[s], 1e-12) << kernel->name << " features " << c.features << " slot " << s;
            }
        }
    }
}

TEST(PackedNet, StdNetworksEqualTheReferenceOnEveryKernel) {
    StdFileOptions o;
    o.hidden = 6;
    o.weightSeed = 3;
    ModelFileF file = makeStdFile(o);
    const uint8_t mask[2] = {1, 1};
    std::vector<NeuralNet> records = buildNetworks(file, mask);
    const auto packed = PackedNetworkSet::pack(file, records);
    for (const auto& x : randomInputs(5, 200)) {
        double expected[2] = {};
        evaluateUnipolar(records[0], x.data(), expected);
        for (const PackedNetKernel* kernel : kernels()) {
            double in[4] = {x[0], x[1], 0.0, 0.0}, got[4] = {};
            kernel->evaluate((*packed)[0], in, got);
            ASSERT_NEAR(got[0], expected[0], 1e-12) << kernel->name;
            ASSERT_NEAR(got[1], expected[1], 1e-12) << kernel->name;
        }
    }
}

// The derivative the port correction uses: d(output t)/d(current u) through p + shift·i, against
// central differences of the plain evaluation.
TEST(PackedNet, CurrentJacobianMatchesDifferences) {
    PcaFileOptions o;
    o.featureCount = 4;
    o.hidden = 10;
    o.outputMask = {1, 1, 0, 1};
    o.weightSeed = 11;
    PCAModelFileF file = makePcaFile(o);
    PositionData data;
    selectPosition(data, file, 0);
    const auto packed = PackedNetworkSet::pack(file, buildNetworks(file, data.outputMask));
    const PackedNet& net = (*packed)[0];
    double shift[16];
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> d(-0.3, 0.3);
    for (double& e : shift) e = d(rng);
    std::vector<double> weights(64 * 16);
    fillCurrentShiftWeights(net, shift, weights.data());
    for (const PackedNetKernel* kernel : kernels()) {
        for (const auto& x : randomInputs(9, 20)) {
            double slots[4] = {}, jk[16];
            kernel->evaluateWithCurrentJacobian(net, x.data(), slots, weights.data(), jk);
            for (unsigned u = 0; u < net.outputs; ++u) {
                const double h = 1e-6;
                double up[4] = {}, down[4] = {}, xu[4], xd[4];
                for (int r = 0; r < 4; ++r) {
                    xu[r] = x[r] + h * shift[r * 4 + net.slot[u]];
                    xd[r] = x[r] - h * shift[r * 4 + net.slot[u]];
                }
                kernel->evaluate(net, xu, up);
                kernel->evaluate(net, xd, down);
                for (unsigned t = 0; t < net.outputs; ++t) {
                    const double expected = (up[net.slot[t]] - down[net.slot[t]]) / (2 * h);
                    EXPECT_NEAR(jk[4 * t + u], expected, 1e-6) << kernel->name << " t " << t << " u " << u;
                }
            }
        }
    }
}
