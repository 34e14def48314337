// The evaluator record: allocation, normalisation folding, both evaluations.

#include "modeldata/NeuralNet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace torvik::test {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

bool aligned16(const void* p)
{
    return reinterpret_cast<std::uintptr_t>(p) % 16 == 0;
}

std::vector<double*> arraysOf(const NeuralNet& net)
{
    return {net.outWeights, net.hiddenWeights, net.hiddenBias, net.hiddenOut, net.outBias, net.netOut,
        net.boxHigh, net.boxLow, net.outMax, net.outMin, net.outRange};
}

TEST(NeuralNetRecord, InitStoresCountsAndAlignsEveryArray)
{
    for (unsigned h : {1u, 3u, 255u}) {
        SCOPED_TRACE(h);
        NeuralNet net;
        initNet(net, 3, 5, h, 0.5, 2.0);
        EXPECT_EQ(net.inputCount, 3);
        EXPECT_EQ(net.outputCount, 5);
        EXPECT_EQ(net.hiddenCount, h);
        EXPECT_EQ(net.slotCount, 0);
        EXPECT_EQ(net.slotMask, nullptr);
        EXPECT_EQ(net.hiddenSlope, 0.5);
        EXPECT_EQ(net.outputSlope, 2.0);
        for (double* array : arraysOf(net)) {
            ASSERT_NE(array, nullptr);
            EXPECT_TRUE(aligned16(array));
        }
        // Writing every element of every array must stay inside the allocation.
        for (unsigned i = 0; i < 5u * h; ++i)
            net.outWeights[i] = 1.0;
        for (unsigned i = 0; i < 3u * h; ++i)
            net.hiddenWeights[i] = 1.0;
        for (unsigned i = 0; i < h; ++i)
            net.hiddenBias[i] = net.hiddenOut[i] = 1.0;
        for (unsigned i = 0; i < 5; ++i)
            net.outBias[i] = net.netOut[i] = net.outMax[i] = net.outMin[i] = net.outRange[i] = 1.0;
        for (unsigned i = 0; i < 3; ++i)
            net.boxHigh[i] = net.boxLow[i] = 1.0;
    }
}

TEST(NeuralNetRecord, MovingCarriesTheArraysAndEmptiesTheSource)
{
    NeuralNet a;
    initNet(a, 2, 2, 4, 1.0, 1.0);
    a.hiddenBias[3] = 42.0;
    double* bias = a.hiddenBias;

    NeuralNet b(std::move(a));
    EXPECT_EQ(b.hiddenBias, bias);
    EXPECT_EQ(b.hiddenBias[3], 42.0);
    EXPECT_EQ(a.hiddenBias, nullptr);
    EXPECT_EQ(a.hiddenCount, 0);

    NeuralNet c;
    initNet(c, 1, 1, 1, 1.0, 1.0);
    c = std::move(b);
    EXPECT_EQ(c.hiddenBias, bias);
    EXPECT_EQ(c.hiddenCount, 4);

    initNet(c, 3, 3, 3, 1.0, 1.0);  // re-initialising releases the old arrays
    EXPECT_EQ(c.hiddenCount, 3);
}

// One input, one hidden neuron, for the folding rules.
struct FoldCase {
    const char* name;
    double lo, hi, w, bias;
    double expectedWeight, expectedBias;
};

void PrintTo(const FoldCase& c, std::ostream* os)
{
    *os << c.name;
}

class Fold : public ::testing::TestWithParam<FoldCase> {};

TEST_P(Fold, FoldsTheInputRangeIntoWeightAndBias)
{
    const FoldCase& c = GetParam();
    NeuralNet net;
    initNet(net, 1, 1, 1, 1.0, 1.0);
    net.hiddenWeights[0] = c.w;
    net.hiddenBias[0] = c.bias;
    const double zero = 0.0, one = 1.0;
    foldNormalisation(net, &zero, &one, &c.lo, &c.hi, &zero, &one);
    EXPECT_EQ(net.hiddenWeights[0], c.expectedWeight);
    EXPECT_EQ(net.hiddenBias[0], c.expectedBias);
}

INSTANTIATE_TEST_SUITE_P(Cases, Fold,
    ::testing::Values(
        // 2w/(hi-lo) and (b - 2w*lo/(hi-lo)) - w, evaluated in that order.
        FoldCase{"UnitRange", -1.0, 1.0, 3.0, 0.5, 3.0, 0.5},
        FoldCase{"ShiftedRange", 2.0, 6.0, 1.0, 0.0, 0.5, -2.0},
        FoldCase{"NegativeWeight", 0.0, 0.25, -0.5, 1.0, -4.0, 1.5},
        FoldCase{"InexactQuotient", 0.1, 0.4, 0.3,  0.7, (0.3 * 2.0) / (0.4 - 0.1),
            (0.7 - ((0.3 * 2.0) * 0.1) / (0.4 - 0.1)) - 0.3},
        FoldCase{"SinglePointRange", 5.0, 5.0, 2.5, 1.0, 0.0, -1.5}),
    [](const auto& info) { return std::string(info.param.name); });

// The folded network on raw inputs matches the stored network on inputs mapped
// to -1..1; an input whose range is a single point counts as -1.
TEST(FoldNormalisation, RawInputsBehaveAsNormalisedOnes)
{
    const double inMin[3] = {-2.0, 10.0, 3.0};
    const double inMax[3] = {2.0, 30.0, 3.0};
    const double w[2][3] = {{0.3, -0.7, 1.1}, {-0.2, 0.4, 0.9}};
    const double b[2] = {0.05, -0.15};
    NeuralNet net;
    initNet(net, 3, 1, 2, 1.0, 1.0);
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 3; ++j)
            net.hiddenWeights[i * 3 + j] = w[i][j];
        net.hiddenBias[i] = b[i];
    }
    const double box[3] = {0, 0, 0}, outMin = 0.0, outMax = 1.0;
    foldNormalisation(net, box, box, inMin, inMax, &outMin, &outMax);

    const double x[3] = {1.5, 12.0, 123.0};
    for (int i = 0; i < 2; ++i) {
        double expected = b[i];
        for (int j = 0; j < 3; ++j) {
            const double normalised = inMax[j] == inMin[j] ? -1.0 : 2.0 * (x[j] - inMin[j]) / (inMax[j] - inMin[j]) - 1.0;
            expected += w[i][j] * normalised;
        }
        double folded = net.hiddenBias[i];
        for (int j = 0; j < 3; ++j)
            folded += net.hiddenWeights[i * 3 + j] * x[j];
        EXPECT_NEAR(folded, expected, 1e-12);
    }
    EXPECT_EQ(net.hiddenWeights[2], 0.0);
    EXPECT_EQ(net.hiddenWeights[5], 0.0);
}

struct RangeCase {
    const char* name;
    double outMin, outMax, expectedRange;
};

void PrintTo(const RangeCase& c, std::ostream* os)
{
    *os << c.name;
}

class OutputRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(OutputRange, KeepsAFloorForTinyPositiveRanges)
{
    const RangeCase& c = GetParam();
    NeuralNet net;
    initNet(net, 1, 1, 1, 1.0, 1.0);
    const double zero = 0.0, one = 1.0;
    foldNormalisation(net, &zero, &one, &zero, &one, &c.outMin, &c.outMax);
    EXPECT_EQ(net.outMin[0], c.outMin);
    EXPECT_EQ(net.outMax[0], c.outMax);
    EXPECT_EQ(net.outRange[0], c.expectedRange);
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputRange,
    ::testing::Values(RangeCase{"Tiny", 0.0, 5e-9, 9.99999993922529e-9},
        RangeCase{"TinyAwayFromZero", 1.0, 1.0 + 2e-9, 9.99999993922529e-9},
        RangeCase{"AtTheFloor", 0.0, 9.99999993922529e-9, 9.99999993922529e-9},
        RangeCase{"AboveTheFloor", 0.0, 2e-8, 2e-8},
        RangeCase{"Ordinary", -3.0, 5.0, 8.0},
        RangeCase{"Zero", 2.0, 2.0, 0.0},
        RangeCase{"Negative", 3.0, 1.0, -2.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OutputRange, FloorIsTheSinglePrecisionValueNearestOneE8)
{
    EXPECT_EQ(minimumOutputRange, 9.99999993922529e-9);
}

// A 1-hidden-neuron network whose raw output equals outBias: the hidden layer
// has zero weights and bias, so its activation is 0.
NeuralNet passThrough(unsigned q, unsigned slots, const uint8_t* mask)
{
    NeuralNet net;
    initNet(net, 1, q, 1, 1.0, 1.0);
    std::vector<double> outMin(q), outMax(q), box(1, 0.0);
    for (unsigned o = 0; o < q; ++o) {
        outMin[o] = 10.0 * o;
        outMax[o] = 10.0 * o + 4.0;
    }
    foldNormalisation(net, box.data(), box.data(), box.data(), box.data(), outMin.data(), outMax.data());
    net.slotCount = static_cast<uint8_t>(slots);
    net.slotMask = mask;
    return net;
}

struct ClampCase {
    double v;
    double bipolar;
    double unipolar;
};

class OutputClamp : public ::testing::TestWithParam<ClampCase> {};

TEST_P(OutputClamp, LimitsTheRawOutput)
{
    const ClampCase& c = GetParam();
    const uint8_t mask[1] = {1};
    NeuralNet net = passThrough(1, 1, mask);
    net.outBias[0] = c.v;
    const double x = 0.0;
    double slot = -99.0;
    evaluateBipolar(net, &x, &slot);
    EXPECT_EQ(net.netOut[0], c.bipolar);
    EXPECT_EQ(slot, 4.0 * c.bipolar);
    evaluateUnipolar(net, &x, &slot);
    EXPECT_EQ(net.netOut[0], c.unipolar);
    EXPECT_EQ(slot, 4.0 * c.unipolar);
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputClamp,
    ::testing::Values(ClampCase{-3.0, -1.0, 0.0}, ClampCase{-1.0, -1.0, 0.0}, ClampCase{-0.25, -0.25, 0.0},
        ClampCase{0.0, 0.0, 0.0}, ClampCase{0.5, 0.5, 0.5}, ClampCase{1.0, 1.0, 1.0}, ClampCase{3.0, 1.0, 1.0},
        ClampCase{inf, 1.0, 1.0}, ClampCase{-inf, -1.0, 0.0}));

TEST(Evaluate, ScattersOutputsToTheSetSlotsInOrder)
{
    const uint8_t mask[4] = {1, 0, 1, 0};
    NeuralNet net = passThrough(4, 4, mask);
    for (unsigned o = 0; o < 4; ++o)
        net.outBias[o] = 0.25 * (o + 1);
    const double x = 0.0;
    double slots[4] = {-1.0, -2.0, -3.0, -4.0};
    evaluateBipolar(net, &x, slots);
    EXPECT_EQ(slots[0], 4.0 * 0.25 + 0.0);   // output 0
    EXPECT_EQ(slots[1], -2.0);
    EXPECT_EQ(slots[2], 4.0 * 0.5 + 10.0);   // output 1
    EXPECT_EQ(slots[3], -4.0);
}

TEST(Evaluate, OnlyMaskBytesEqualToOneCount)
{
    const uint8_t mask[4] = {2, 1, 255, 1};
    NeuralNet net = passThrough(4, 4, mask);
    net.outBias[0] = 0.5;
    net.outBias[1] = 0.75;
    const double x = 0.0;
    double slots[4] = {-1.0, -2.0, -3.0, -4.0};
    evaluateBipolar(net, &x, slots);
    EXPECT_EQ(slots[0], -1.0);
    EXPECT_EQ(slots[1], 2.0);
    EXPECT_EQ(slots[2], -3.0);
    EXPECT_EQ(slots[3], 4.0 * 0.75 + 10.0);
}

TEST(Evaluate, UnipolarWritesEverySlotWithoutAMask)
{
    const uint8_t mask[2] = {0, 0};
    NeuralNet net = passThrough(2, 2, mask);
    net.outBias[0] = 0.5;
    net.outBias[1] = -0.5;
    const double x = 0.0;
    double slots[2] = {-1.0, -2.0};
    evaluateUnipolar(net, &x, slots);
    EXPECT_EQ(slots[0], 2.0);
    EXPECT_EQ(slots[1], 10.0);
}

TEST(Evaluate, ZeroOrNegativeRangeGivesOutMinOrAMirror)
{
    const uint8_t mask[1] = {1};
    NeuralNet net;
    initNet(net, 1, 1, 1, 1.0, 1.0);
    const double box = 0.0, outMin = 7.0, outMax = 7.0;
    foldNormalisation(net, &box, &box, &box, &box, &outMin, &outMax);
    net.slotCount = 1;
    net.slotMask = mask;
    net.outBias[0] = 0.8;
    double slot = 0.0;
    evaluateBipolar(net, &box, &slot);
    EXPECT_EQ(slot, 7.0);

    const double lowerMax = 5.0;
    foldNormalisation(net, &box, &box, &box, &box, &outMin, &lowerMax);
    evaluateBipolar(net, &box, &slot);
    EXPECT_EQ(slot, -2.0 * 0.8 + 7.0);
}

// Reference evaluation written out step by step: each sum starts from the bias
// and adds the products in index order.
TEST(Evaluate, MatchesAStepByStepReferenceExactly)
{
    const double hw[3][2] = {{0.31, -0.77}, {1.3, 0.011}, {-0.5, 0.25}};
    const double hb[3] = {0.1, -0.2, 0.3};
    const double ow[2][3] = {{0.9, -1.7, 0.33}, {-0.21, 0.5, 1.9}};
    const double ob[2] = {-0.05, 0.07};
    const double hiddenSlope = 0.73, outputSlope = 1.37;
    const uint8_t mask[2] = {1, 1};

    NeuralNet net;
    initNet(net, 2, 2, 3, hiddenSlope, outputSlope);
    for (int i = 0; i < 3; ++i) {
        net.hiddenWeights[i * 2] = hw[i][0];
        net.hiddenWeights[i * 2 + 1] = hw[i][1];
        net.hiddenBias[i] = hb[i];
    }
    for (int o = 0; o < 2; ++o) {
        for (int i = 0; i < 3; ++i)
            net.outWeights[o * 3 + i] = ow[o][i];
        net.outBias[o] = ob[o];
    }
    const double outMin[2] = {-1.5, 0.2}, outMax[2] = {2.5, 0.9};
    const double lo[2] = {-1.0, -1.0}, hi[2] = {1.0, 1.0};
    foldNormalisation(net, lo, hi, lo, hi, outMin, outMax);
    net.slotCount = 2;
    net.slotMask = mask;

    const double x[2] = {0.123, -0.456};
    double hidden[3];
    for (int i = 0; i < 3; ++i) {
        double s = net.hiddenBias[i];
        s = s + x[0] * net.hiddenWeights[i * 2];
        s = s + x[1] * net.hiddenWeights[i * 2 + 1];
        const double a = hiddenSlope * s;
        hidden[i] = a / (std::fabs(a) + 1.0);
    }
    double expected[2];
    for (int o = 0; o < 2; ++o) {
        double s = ob[o];
        s = s + hidden[0] * ow[o][0];
        s = s + hidden[1] * ow[o][1];
        s = s + hidden[2] * ow[o][2];
        double v = outputSlope * s;
        v = v < -1.0 ? -1.0 : (v > 1.0 ? 1.0 : v);
        expected[o] = (outMax[o] - outMin[o]) * v + outMin[o];
    }
    double slots[2];
    evaluateBipolar(net, x, slots);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(net.hiddenOut[i], hidden[i]) << i;
    EXPECT_EQ(slots[0], expected[0]);
    EXPECT_EQ(slots[1], expected[1]);
}

TEST(Evaluate, HiddenActivationIsZeroAtZeroAndBoundedByOne)
{
    const uint8_t mask[1] = {1};
    NeuralNet net;
    initNet(net, 1, 1, 3, 1.0, 1.0);
    net.hiddenWeights[0] = 0.0;
    net.hiddenWeights[1] = 1e6;
    net.hiddenWeights[2] = -1e300;
    net.slotCount = 1;
    net.slotMask = mask;
    const double x = 1.0;
    double slot;
    evaluateBipolar(net, &x, &slot);
    EXPECT_EQ(net.hiddenOut[0], 0.0);
    EXPECT_GT(net.hiddenOut[1], 0.999999);
    EXPECT_LT(net.hiddenOut[1], 1.0);
    EXPECT_EQ(net.hiddenOut[2], -1.0);
}

TEST(Evaluate, NaNInputsPassThroughTheClamps)
{
    const uint8_t mask[2] = {1, 1};
    NeuralNet net;
    initNet(net, 1, 2, 2, 1.0, 1.0);
    for (int i = 0; i < 2; ++i) {
        net.hiddenWeights[i] = 1.0;
        net.outWeights[i] = net.outWeights[2 + i] = 1.0;
    }
    const double box = 0.0, outMin[2] = {0.0, 1.0}, outMax[2] = {1.0, 2.0};
    const double lo = -1.0, hi = 1.0;
    foldNormalisation(net, &box, &box, &lo, &hi, outMin, outMax);
    net.slotCount = 2;
    net.slotMask = mask;
    double slots[2] = {0.0, 0.0};
    evaluateBipolar(net, &nan, slots);
    EXPECT_TRUE(std::isnan(slots[0]));
    EXPECT_TRUE(std::isnan(slots[1]));
    slots[0] = slots[1] = 0.0;
    evaluateUnipolar(net, &nan, slots);
    EXPECT_TRUE(std::isnan(slots[0]));
    EXPECT_TRUE(std::isnan(slots[1]));
}

} // namespace
} // namespace torvik::test
