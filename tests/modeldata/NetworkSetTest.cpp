// Building records from files, position selection, feature projection and
// choosing a network by its input box.

#include "support/ModelFixtures.h"

#include "modeldata/NetworkSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace torvik::test {
namespace {

using namespace torvik::fixtures;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(BuildNetworks, OneRecordPerNetworkOfGroupZeroInFileOrder)
{
    PCAModelFileF file = makePcaFile(3, 2, 2, 4);
    file.groups.push_back(makePcaFile(5, 5, 2, 4).groups[0]);
    const uint8_t mask[4] = {1, 1, 1, 1};
    std::vector<NeuralNet> nets = buildNetworks(file, mask);
    ASSERT_EQ(nets.size(), 6u);
    const double z[2] = {0.3, -0.3};
    for (unsigned p = 0; p < 3; ++p) {
        for (unsigned j = 0; j < 2; ++j) {
            NeuralNet& net = nets[2 * p + j];
            EXPECT_EQ(net.inputCount, 2);
            EXPECT_EQ(net.outputCount, 4);
            EXPECT_EQ(net.hiddenCount, 4);
            EXPECT_EQ(net.slotCount, 4);
            EXPECT_EQ(net.slotMask, mask);
            double slots[4];
            evaluateBipolar(net, z, slots);
            for (unsigned o = 0; o < 4; ++o)
                EXPECT_EQ(slots[o], constantOutput(p, j, o)) << p << " " << j << " " << o;
        }
    }
}

TEST(BuildNetworks, PcaRecordsTakeTheFirstFourOutputsInOneHiddenLayerOrder)
{
    PcaFileOptions o;
    o.featureCount = 3;
    o.outputCount = 6;
    o.hidden = 2;
    PCAModelFileF file = makePcaFile(o);
    PCAModelNet& source = file.groups[0].positions[0].nets[0];
    for (std::size_t t = 0; t < source.weights.size(); ++t)
        source.weights[t] = static_cast<float>(t + 1);
    source.hiddenSteepness = {0.25f, 9.0f};
    source.outputSteepness = {1.5f, 9.0f, 9.0f, 9.0f, 9.0f, 9.0f};
    const uint8_t mask[4] = {1, 1, 1, 1};
    std::vector<NeuralNet> nets = buildNetworks(file, mask);
    ASSERT_EQ(nets.size(), 1u);
    const NeuralNet& net = nets[0];
    EXPECT_EQ(net.hiddenSlope, 0.25);
    EXPECT_EQ(net.outputSlope, 1.5);
    // Inputs -1..1 fold to the stored weights unchanged.
    EXPECT_EQ(net.hiddenWeights[0], 1.0);
    EXPECT_EQ(net.hiddenWeights[2], 3.0);
    EXPECT_EQ(net.hiddenBias[0], 4.0);
    EXPECT_EQ(net.hiddenWeights[3], 5.0);
    EXPECT_EQ(net.hiddenBias[1], 8.0);
    EXPECT_EQ(net.outWeights[0], 9.0);
    EXPECT_EQ(net.outWeights[1], 10.0);
    EXPECT_EQ(net.outBias[0], 11.0);
    EXPECT_EQ(net.outWeights[3 * 2 + 1], 19.0);
    EXPECT_EQ(net.outBias[3], 20.0);
    EXPECT_EQ(net.outMin[3], constantOutput(0, 0, 3));
}

TEST(BuildNetworks, StdRecordsHaveTwoInputsAndTwoOutputs)
{
    StdFileOptions o;
    o.positions = 2;
    o.outputCount = 3;
    o.hidden = 5;
    ModelFileF file = makeStdFile(o);
    file.groups[0].positions[1].nets[0].hiddenSteepness = 0.125f;
    file.groups[0].positions[1].nets[0].outputSteepness = 3.0f;
    const uint8_t mask[2] = {1, 1};
    std::vector<NeuralNet> nets = buildNetworks(file, mask);
    ASSERT_EQ(nets.size(), 2u);
    EXPECT_EQ(nets[1].inputCount, 2);
    EXPECT_EQ(nets[1].outputCount, 2);
    EXPECT_EQ(nets[1].hiddenCount, 5);
    EXPECT_EQ(nets[1].slotCount, 2);
    EXPECT_EQ(nets[1].slotMask, mask);
    EXPECT_EQ(nets[1].hiddenSlope, 0.125);
    EXPECT_EQ(nets[1].outputSlope, 3.0);
    const double x[2] = {1.0, 2.0};
    double slots[2];
    evaluateUnipolar(nets[1], x, slots);
    EXPECT_EQ(slots[0], constantOutput(1, 0, 0));
    EXPECT_EQ(slots[1], constantOutput(1, 0, 1));
}

TEST(BuildNetworks, RefusesWhatCannotBeBuilt)
{
    const uint8_t mask[4] = {1, 1, 1, 1};
    EXPECT_TRUE(buildNetworks(PCAModelFileF{}, mask).empty());
    EXPECT_TRUE(buildNetworks(ModelFileF{}, mask).empty());

    struct Case {
        const char* name;
        void (*apply)(PCAModelFileF&);
    };
    const Case cases[] = {
        {"no hidden layer", [](PCAModelFileF& f) { f.groups[0].positions[1].nets[0].layerSizes.clear(); }},
        {"empty hidden layer", [](PCAModelFileF& f) { f.groups[0].positions[1].nets[0].layerSizes = {0}; }},
        {"too many neurons", [](PCAModelFileF& f) { f.groups[0].positions[1].nets[0].layerSizes = {256}; }},
        {"short weights", [](PCAModelFileF& f) { f.groups[0].positions[0].nets[0].weights.resize(5); }},
        {"three outputs", [](PCAModelFileF& f) { f.groups[0].positions[0].nets[0].outMax.resize(3); }},
        {"no features", [](PCAModelFileF& f) { f.groups[0].positions[0].featureCount = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PCAModelFileF file = makePcaFile(2, 1, 2, 3);
        c.apply(file);
        EXPECT_TRUE(buildNetworks(file, mask).empty());
    }
}

TEST(RunOfPosition, CountsTheNetworksOfEarlierPositions)
{
    PCAModelFileF pca = makePcaFile(3, 3, 2, 2);
    pca.groups[0].positions[0].nets.resize(2);
    pca.groups[0].positions[1].nets.clear();
    ModelFileF std = makeStdFile(3, 3, 2);
    std.groups[0].positions[0].nets.resize(2);
    std.groups[0].positions[1].nets.clear();

    const unsigned expected[][2] = {{0, 2}, {2, 0}, {2, 3}, {5, 0}};
    for (unsigned index = 0; index < 4; ++index) {
        SCOPED_TRACE(index);
        EXPECT_EQ(runOfPosition(pca, index).start, expected[index][0]);
        EXPECT_EQ(runOfPosition(pca, index).length, expected[index][1]);
        EXPECT_EQ(runOfPosition(std, index).start, expected[index][0]);
        EXPECT_EQ(runOfPosition(std, index).length, expected[index][1]);
    }
    EXPECT_EQ(runOfPosition(PCAModelFileF{}, 0).length, 0u);
}

TEST(SelectPosition, TakesMasksAndCountsOfTheIndexedPosition)
{
    PcaFileOptions o;
    o.positions = 2;
    o.featureCount = 3;
    PCAModelFileF file = makePcaFile(o);
    PCAModelPosition& p = file.groups[0].positions[1];
    p.inputMask = {1, 2, -1, 1, 1};
    p.outputMask = {0, 1, 1, 7};
    p.secondWidth = 6;

    PositionData data;
    selectPosition(data, file, 1);
    EXPECT_EQ(std::vector<uint8_t>(data.inputMask, data.inputMask + 4), (std::vector<uint8_t>{1, 0, 0, 1}));
    EXPECT_EQ(std::vector<uint8_t>(data.outputMask, data.outputMask + 4), (std::vector<uint8_t>{0, 1, 1, 0}));
    EXPECT_EQ(data.featureCount, 3u);
    EXPECT_EQ(data.candidateCount, 3u);
    EXPECT_EQ(data.secondWidth, 6u);

    PositionData untouched = data;
    selectPosition(untouched, file, 2);
    EXPECT_EQ(untouched.secondWidth, 6u);
    EXPECT_EQ(std::vector<uint8_t>(untouched.outputMask, untouched.outputMask + 4),
        (std::vector<uint8_t>{0, 1, 1, 0}));
}

TEST(SelectPosition, StoresTheProjectionRowMajor)
{
    PcaFileOptions o;
    o.featureCount = 2;
    PCAModelFileF file = makePcaFile(o);
    PCAModelPosition& p = file.groups[0].positions[0];
    p.inputMask = {1, 1, 1, 0};
    setProjection(p, {{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}});
    EXPECT_EQ(p.projection, (std::vector<double>{1.0, 4.0, 2.0, 5.0, 3.0, 6.0}));

    PositionData data;
    selectPosition(data, file, 0);
    EXPECT_TRUE(data.usesProjection);
    const std::vector<double> rowMajor(data.projection.begin(), data.projection.begin() + 6);
    EXPECT_EQ(rowMajor, (std::vector<double>{1.0, 2.0, 3.0, 4.0, 5.0, 6.0}));
}

struct IdentityCase {
    const char* name;
    unsigned row, column;
    double value;
    bool usesProjection;
};

void PrintTo(const IdentityCase& c, std::ostream* os)
{
    *os << c.name;
}

class IdentityTolerance : public ::testing::TestWithParam<IdentityCase> {};

// Every element is compared after rounding to single precision; the limit is 2^-22.
TEST_P(IdentityTolerance, DecidesWhetherTheProjectionIsUsed)
{
    const IdentityCase& c = GetParam();
    PcaFileOptions o;
    o.featureCount = 3;
    PCAModelFileF file = makePcaFile(o);
    std::vector<std::vector<double>> rows{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    rows[c.row][c.column] = c.value;
    setProjection(file.groups[0].positions[0], rows);
    PositionData data;
    selectPosition(data, file, 0);
    EXPECT_EQ(data.usesProjection, c.usesProjection);
    EXPECT_EQ(data.projection[c.row * 3 + c.column], c.value);
}

INSTANTIATE_TEST_SUITE_P(Cases, IdentityTolerance,
    ::testing::Values(IdentityCase{"Exact", 0, 0, 1.0, false},
        IdentityCase{"DiagonalHalfLimit", 1, 1, 1.0 + 0x1p-23, false},
        IdentityCase{"DiagonalAtLimit", 1, 1, 1.0 + 0x1p-22, false},
        IdentityCase{"DiagonalBelowAtLimit", 2, 2, 1.0 - 0x1p-22, false},
        IdentityCase{"DiagonalRoundsToLimit", 2, 2, 1.0 + 0x1p-22 + 0x1p-40, false},
        IdentityCase{"DiagonalBeyondLimit", 1, 1, 1.0 + 3 * 0x1p-23, true},
        IdentityCase{"OffDiagonalAtLimit", 0, 2, 0x1p-22, false},
        IdentityCase{"OffDiagonalRoundsToLimit", 0, 2, 0x1p-22 + 0x1p-60, false},
        IdentityCase{"OffDiagonalNegativeAtLimit", 2, 0, -0x1p-22, false},
        IdentityCase{"OffDiagonalBeyondLimit", 2, 1, 0x1p-22 * 1.0001, true},
        IdentityCase{"OffDiagonalLarge", 1, 0, 0.5, true},
        IdentityCase{"DiagonalZero", 0, 0, 0.0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SelectPosition, CopyingContinuesAfterTheFlagIsSet)
{
    PcaFileOptions o;
    o.featureCount = 2;
    PCAModelFileF file = makePcaFile(o);
    setProjection(file.groups[0].positions[0], {{5.0, 0.0}, {0.0, 7.0}});
    PositionData data;
    selectPosition(data, file, 0);
    EXPECT_TRUE(data.usesProjection);
    EXPECT_EQ(data.projection[3], 7.0);
}

TEST(SelectPosition, NonSquareIdentityLeavesTheProjectionUnused)
{
    PcaFileOptions o;
    o.featureCount = 2;
    PCAModelFileF file = makePcaFile(o);
    file.groups[0].positions[0].inputMask = {1, 1, 1, 0};
    setProjection(file.groups[0].positions[0], {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}});
    PositionData data;
    selectPosition(data, file, 0);
    EXPECT_FALSE(data.usesProjection);
}

TEST(ProjectFeatures, NearIdentityPassesTheFirstCandidatesUnchanged)
{
    PcaFileOptions o;
    o.featureCount = 3;
    PCAModelFileF file = makePcaFile(o);
    PCAModelPosition& p = file.groups[0].positions[0];
    p.inputMask = {0, 1, 1, 1};  // not consulted without a projection
    setProjection(p, {{1.0 + 0x1p-22, -0x1p-22, 0x1p-23}, {0.0, 1.0 - 0x1p-23, 0x1p-22}, {0.0, 0.0, 1.0}});
    PositionData data;
    selectPosition(data, file, 0);
    ASSERT_FALSE(data.usesProjection);
    const double candidates[4] = {0.1234567, -9.87654321, 3.3333333, 42.0};
    double features[4] = {-1, -1, -1, -1};
    projectFeatures(data, candidates, features);
    EXPECT_EQ(features[0], candidates[0]);
    EXPECT_EQ(features[1], candidates[1]);
    EXPECT_EQ(features[2], candidates[2]);
    EXPECT_EQ(features[3], -1.0);
}

TEST(ProjectFeatures, ProjectsTheMaskedCandidatesRowByRow)
{
    PcaFileOptions o;
    o.featureCount = 2;
    PCAModelFileF file = makePcaFile(o);
    PCAModelPosition& p = file.groups[0].positions[0];
    p.inputMask = {1, 0, 1, 1};
    const double rows[2][3] = {{0.3, -1.1, 2.7}, {0.05, 0.6, -0.9}};
    setProjection(p, {{rows[0][0], rows[0][1], rows[0][2]}, {rows[1][0], rows[1][1], rows[1][2]}});
    PositionData data;
    selectPosition(data, file, 0);
    ASSERT_TRUE(data.usesProjection);

    const double cv[4] = {0.71, 100.0, -0.33, 1.9};
    const double used[3] = {cv[0], cv[2], cv[3]};
    double features[2];
    projectFeatures(data, cv, features);
    for (int i = 0; i < 2; ++i) {
        double z = 0.0;
        for (int j = 0; j < 3; ++j)
            z = used[j] * rows[i][j] + z;
        EXPECT_EQ(features[i], z) << i;
    }
}

// Three networks side by side along feature 0: (0, 1), (1, 2), (2, 3); feature
// 1 must lie in (-1, 1) for all of them. Network j outputs constantOutput(0, j, o).
class SelectNetwork : public ::testing::Test {
protected:
    void SetUp() override
    {
        PcaFileOptions o;
        o.netsPerPosition = 3;
        file = makePcaFile(o);
        for (unsigned j = 0; j < 3; ++j) {
            PCAModelNet& net = file.groups[0].positions[0].nets[j];
            net.boxLow = {float(j), -1.0f};
            net.boxHigh = {float(j + 1), 1.0f};
        }
        nets = buildNetworks(file, mask);
        ASSERT_EQ(nets.size(), 3u);
        lastUsed = &nets[0];
    }

    // Which network produced the slots.
    int chosen(double z0, double z1 = 0.0)
    {
        const double z[2] = {z0, z1};
        double slots[4] = {};
        NeuralNet& used = selectNetwork(nets.data(), 3, lastUsed, z, slots);
        const int index = static_cast<int>(&used - nets.data());
        if (std::isnan(z0) || std::isnan(z1))
            EXPECT_TRUE(std::isnan(slots[0])) << "NaN features give NaN outputs";
        else
            EXPECT_EQ(slots[0], constantOutput(0, index, 0));
        return index;
    }

    uint8_t mask[4] = {1, 1, 1, 1};
    PCAModelFileF file;
    std::vector<NeuralNet> nets;
    NeuralNet* lastUsed = nullptr;
};

TEST_F(SelectNetwork, TakesTheFirstBoxThatHoldsTheFeatures)
{
    EXPECT_EQ(chosen(0.5), 0);
    EXPECT_EQ(chosen(2.5), 2);
    EXPECT_EQ(lastUsed, &nets[2]);
    EXPECT_EQ(chosen(1.5), 1);
    EXPECT_EQ(lastUsed, &nets[1]);
}

TEST_F(SelectNetwork, BoundariesAreOutside)
{
    EXPECT_EQ(chosen(2.5), 2);
    EXPECT_EQ(chosen(1.0), 2) << "on the edge between boxes 0 and 1: falls back";
    EXPECT_EQ(chosen(0.5, 1.0), 2) << "second feature on its upper edge";
    EXPECT_EQ(chosen(0.5, -1.0), 2);
    EXPECT_EQ(lastUsed, &nets[2]);
}

TEST_F(SelectNetwork, FallsBackToTheLastUsedNetwork)
{
    EXPECT_EQ(chosen(7.0), 0) << "right after selection the run's first network";
    EXPECT_EQ(chosen(1.5), 1);
    EXPECT_EQ(chosen(-3.0), 1);
    EXPECT_EQ(chosen(nan), 1) << "NaN fails every box test";
    EXPECT_EQ(chosen(0.5, nan), 1);
    EXPECT_EQ(lastUsed, &nets[1]);
}

TEST_F(SelectNetwork, WithoutALastUsedNetworkTheRunStartsIt)
{
    lastUsed = nullptr;
    EXPECT_EQ(chosen(9.0), 0);
    EXPECT_EQ(lastUsed, nullptr);
    EXPECT_EQ(chosen(2.5), 2);
    EXPECT_EQ(lastUsed, &nets[2]);
}

TEST_F(SelectNetwork, ASubRunOnlyConsidersItsOwnRecords)
{
    const double z[2] = {0.5, 0.0};
    double slots[4] = {};
    lastUsed = &nets[1];
    NeuralNet& used = selectNetwork(nets.data() + 1, 2, lastUsed, z, slots);
    EXPECT_EQ(&used, &nets[1]);
    EXPECT_EQ(slots[0], constantOutput(0, 1, 0));
}

TEST(SelectNetworkEmpty, NothingToChooseWritesNothing)
{
    NeuralNet* lastUsed = nullptr;
    const double z[2] = {0.0, 0.0};
    double slots[4] = {1, 2, 3, 4};
    NeuralNet& used = selectNetwork(nullptr, 0, lastUsed, z, slots);
    EXPECT_EQ(used.slotCount, 0);
    EXPECT_EQ(slots[0], 1.0);
    EXPECT_EQ(slots[3], 4.0);
    EXPECT_EQ(lastUsed, nullptr);
}

} // namespace
} // namespace torvik::test
