#include "modeldata/NetworkSet.h"
#include "tools/modelbuilder/NetworkFit.h"
#include "tools/modelbuilder/NetworkRecords.h"
#include "tools/modelbuilder/OperatingTables.h"
#include "tools/modelbuilder/RateSet.h"
#include "tools/modelbuilder/Scaling.h"

#include <gtest/gtest.h>

#include <cmath>

namespace torvik::builder {
namespace {

TEST(RateSet, RunningRatesAreDistinctProducts) {
    const auto rates = RateSet::full().runningRates();
    EXPECT_EQ(rates.front(), 22050);
    EXPECT_EQ(rates.back(), 3072000);
    EXPECT_TRUE(std::is_sorted(rates.begin(), rates.end()));
    EXPECT_EQ(std::adjacent_find(rates.begin(), rates.end()), rates.end());
    EXPECT_EQ(std::count(rates.begin(), rates.end(), 44100), 1);  // 44100x1 and 22050x2
    EXPECT_EQ(rates.size(), 21u);
}

TEST(Scaling, OneSidedCurrentsDecodeToExactlyZeroBelowTheClamp) {
    Eigen::MatrixXd currents(3, 2);
    currents << 0.0, -1e-3, 2e-4, 0.5e-3, 1.3e-3, 2e-3;
    const OutputScale bipolar = OutputScale::bipolar(currents, 0.1);
    EXPECT_TRUE(bipolar.zeroFloor[0]);
    EXPECT_FALSE(bipolar.zeroFloor[1]);
    // What the plug-in decodes for a clamped output of -1: outRange * -1 + outMin.
    const double range = double(bipolar.outMax[0]) - double(bipolar.outMin[0]);
    EXPECT_EQ(-range + double(bipolar.outMin[0]), 0.0);
    EXPECT_GE(double(bipolar.outMax[0]), 1.3e-3);
    const Eigen::MatrixXd t = bipolar.normalise(currents);
    EXPECT_EQ(t(0, 0), -1.0);
    EXPECT_GT(t.col(1).minCoeff(), -1.0);
    EXPECT_LT(t.col(1).maxCoeff(), 1.0);

    const OutputScale unipolar = OutputScale::unipolar(currents, 0.05);
    EXPECT_EQ(unipolar.outMin[0], 0.0f);
    EXPECT_LT(unipolar.outMin[1], -1e-3f);
}

TEST(NetworkFit, LevenbergMarquardtFitsASmoothCurveAndHonoursTheFloor) {
    FitData d;
    const int N = 200;
    d.inputs.resize(N, 1);
    d.targets.resize(N, 1);
    for (int k = 0; k < N; ++k) {
        const double x = -1.0 + 2.0 * k / (N - 1);
        d.inputs(k, 0) = x;
        d.targets(k, 0) = x < 0.0 ? -1.0 : -1.0 + 1.5 * x * x;  // off below 0, then a soft onset
    }
    d.floors = Eigen::VectorXd::Constant(1, -1.0 + 1e-7);
    FitOptions o;
    o.maxIterations = 300;
    o.targetRms = 1e-4;
    const FitResult r = fitGrowing(d, {4, 8}, NetworkWeights{}, o, 3);
    EXPECT_LT(r.error.rms, 5e-3);
    // Where the target is off, the network sits at or below the floor, so the clamp gives zero.
    int below = 0;
    for (int k = 0; k < N / 3; ++k) below += r.weights.evaluate(d.inputs.row(k).transpose())[0] <= -1.0 + 1e-3;
    EXPECT_GT(below, N / 3 - 5);
}

// A trained network written as a record and built by the plug-in's own code computes what the
// builder trained: same weight order, same input normalisation, same output decoding.
TEST(NetworkRecords, PluginEvaluatesWhatTheBuilderTrained) {
    const NetworkWeights w = NetworkWeights::random(3, 5, 2, 9).roundedToFloat();
    InputScale in;
    in.lo = {-10.0f, 100.0f, -2.0f};
    in.hi = {10.0f, 300.0f, 2.0f};
    OutputScale out;
    out.outMin = {1e-3f, 0.0f};
    out.outMax = {2e-3f, 5e-4f};
    out.zeroFloor = {true, true};

    PCAModelFileF file;
    file.allocateGroups(1);
    file.groups[0].positionCount = 1;
    PCAModelPosition pos;
    pos.inputMask = {1, 1, 1, 0};
    pos.outputMask = {0, 1, 1, 0};
    pos.inputMaskLength = pos.outputMaskLength = 4;
    pos.candidateCount = pos.featureCount = 3;
    pos.netOutputCount = 4;
    pos.projection = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    pos.netCount = 1;
    pos.nets.push_back(pcaNetRecord(w, in, out, {-1e30f, -1e30f, -1e30f}, {1e30f, 1e30f, 1e30f}));
    file.groups[0].positions.push_back(pos);
    const std::vector<uint8_t> image = file.toBytes();
    PCAModelFileF read;
    read.readFromMemory(image.data(), image.size());
    ASSERT_TRUE(read.lastReadComplete());

    PositionData data;
    selectPosition(data, read, 0);
    std::vector<NeuralNet> nets = buildNetworks(read, data.outputMask);
    ASSERT_EQ(nets.size(), 1u);
    const double raw[3] = {3.0, 150.0, -0.5};
    double slots[4] = {7, 7, 7, 7};
    evaluateBipolar(nets[0], raw, slots);

    Eigen::MatrixXd x(1, 3);
    x << raw[0], raw[1], raw[2];
    const Eigen::VectorXd y = w.evaluate(in.normalise(x).row(0).transpose());
    for (int o = 0; o < 2; ++o) {
        const double clamped = std::max(-1.0, std::min(1.0, y[o]));
        EXPECT_NEAR(slots[1 + o], out.range(o) * clamped + out.outMin[o], 1e-12) << o;
    }
    EXPECT_EQ(slots[0], 7.0);
    EXPECT_EQ(slots[3], 7.0);
}

TEST(OperatingTables, SameTablesWhateverTheThreadCount) {
    const std::vector<long> rates = {44100, 96000};
    const OperatingTables one = solveOperatingTables(TubeFamily::Aged, rates, 30, 1);
    const OperatingTables two = solveOperatingTables(TubeFamily::Aged, rates, 30, 2);
    ASSERT_TRUE(one.converged);
    EXPECT_EQ(one.block1, two.block1);
    EXPECT_EQ(one.block3, two.block3);
    EXPECT_EQ(one.block4, two.block4);
    // count, then rate + 12 values per entry for the gain blocks, rate + 7 for the tone block
    EXPECT_EQ(one.block1[0].size(), 1u + 2 * 13);
    EXPECT_EQ(one.block4[0].size(), 1u + 2 * 8);
    EXPECT_EQ(one.block1[0][0], 2.0);
    EXPECT_EQ(one.block1[0][1], 44100.0);
}

} // namespace
} // namespace torvik::builder
