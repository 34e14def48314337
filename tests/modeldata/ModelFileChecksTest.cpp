// Which files a block can use, and the reason given for those it cannot.

#include "support/ModelFixtures.h"

#include "modeldata/ModelFileChecks.h"

#include <gtest/gtest.h>

#include <limits>

namespace torvik::test {
namespace {

using namespace torvik::fixtures;

constexpr float fnan = std::numeric_limits<float>::quiet_NaN();
constexpr float finf = std::numeric_limits<float>::infinity();
constexpr double dnan = std::numeric_limits<double>::quiet_NaN();
constexpr double dinf = std::numeric_limits<double>::infinity();

// A usable block-1 style file: two positions, two networks each, k = 2,
// a table of two 13-value entries padded to 30 values.
PCAModelFileF usablePca()
{
    PcaFileOptions o;
    o.positions = 2;
    o.netsPerPosition = 2;
    o.tables = {opTable({std::vector<double>(13, 1.0), std::vector<double>(13, 2.0)})};
    o.tables[0].resize(30, 0.0);
    return makePcaFile(o);
}

PCAModelNet& net(PCAModelFileF& f, unsigned p = 1, unsigned j = 1)
{
    return f.groups[0].positions[p].nets[j];
}

PCAModelPosition& position(PCAModelFileF& f, unsigned p = 1)
{
    return f.groups[0].positions[p];
}

void setHidden(PCAModelNet& n, unsigned hidden)
{
    const unsigned k = static_cast<unsigned>(n.boxLow.size());
    const unsigned q = static_cast<unsigned>(n.outMin.size());
    n.layerSizes = {hidden};
    n.hiddenSteepness.assign(hidden, 0.5f);
    n.weights.assign((k + 1) * hidden + (hidden + 1) * q, 0.0f);
}

struct PcaCheckCase {
    const char* name;
    void (*apply)(PCAModelFileF&);
    const char* reason;  // "" = usable, else a part of the reason
};

void PrintTo(const PcaCheckCase& c, std::ostream* os)
{
    *os << c.name;
}

class PcaChecks : public ::testing::TestWithParam<PcaCheckCase> {};

TEST_P(PcaChecks, Block1)
{
    const PcaCheckCase& c = GetParam();
    PCAModelFileF file = usablePca();
    c.apply(file);
    const std::string reason = checkPcaModelFile(file, 13);
    if (std::string(c.reason).empty()) {
        EXPECT_EQ(reason, "");
    } else {
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PcaChecks,
    ::testing::Values(
        PcaCheckCase{"Usable", [](PCAModelFileF&) {}, ""},
        PcaCheckCase{"NoGroups", [](PCAModelFileF& f) { f.groups.clear(); }, "no group"},
        PcaCheckCase{"NoPositions", [](PCAModelFileF& f) { f.groups[0].positions.clear(); }, "no positions"},
        PcaCheckCase{"PositionWithoutNetworks", [](PCAModelFileF& f) { position(f).nets.clear(); },
            "position 1: no networks"},
        PcaCheckCase{"OnlyGroupZeroCounts", [](PCAModelFileF& f) { f.groups.emplace_back(); }, ""},
        PcaCheckCase{"TwoHiddenLayers",
            [](PCAModelFileF& f) {
                net(f).layerSizes = {2, 2};
                net(f).layerCount = 2;
            },
            "position 1 network 1: needs exactly one hidden layer"},
        PcaCheckCase{"LayerCountDisagrees", [](PCAModelFileF& f) { net(f).layerCount = 0; }, "one hidden layer"},
        PcaCheckCase{"EmptyHiddenLayer", [](PCAModelFileF& f) { setHidden(net(f), 0); }, "0 neurons"},
        PcaCheckCase{"MostNeurons", [](PCAModelFileF& f) { setHidden(net(f), 255); }, ""},
        PcaCheckCase{"TooManyNeurons", [](PCAModelFileF& f) { setHidden(net(f), 256); }, "256 neurons"},
        PcaCheckCase{"WeightCount", [](PCAModelFileF& f) { net(f).weights.push_back(0.0f); }, "weight count"},
        PcaCheckCase{"HiddenSlopeCount", [](PCAModelFileF& f) { net(f).hiddenSteepness.pop_back(); }, "steepness"},
        PcaCheckCase{"NoFeatures", [](PCAModelFileF& f) { position(f).featureCount = 0; }, "feature count 0"},
        PcaCheckCase{"FiveFeatures", [](PCAModelFileF& f) { position(f).featureCount = 5; }, "feature count 5"},
        PcaCheckCase{"ThreeOutputs", [](PCAModelFileF& f) { position(f).netOutputCount = 3; }, "output count 3"},
        PcaCheckCase{"ShortInputMask", [](PCAModelFileF& f) { position(f).inputMask = {1, 1, 0}; }, "at least 4"},
        PcaCheckCase{"ShortOutputMask", [](PCAModelFileF& f) { position(f).outputMask = {1, 1, 1}; }, "at least 4"},
        PcaCheckCase{"LongerMasks",
            [](PCAModelFileF& f) {
                position(f).inputMask = {1, 1, 0, 0, 0, 2};
                position(f).outputMask = {1, 1, 1, 1, 1};
            },
            ""},
        PcaCheckCase{"CandidateCountDisagrees", [](PCAModelFileF& f) { position(f).inputMask = {1, 1, 1, 0}; },
            "candidate count 2"},
        PcaCheckCase{"MaskValueTwoIsNotSet", [](PCAModelFileF& f) { position(f).inputMask = {1, 2, 0, 1}; }, ""},
        PcaCheckCase{"SetEntryBeyondFour",
            [](PCAModelFileF& f) {
                position(f).inputMask = {1, 0, 0, 0, 1};
                position(f).featureCount = 2;
            },
            "entry 4 is set"},
        PcaCheckCase{"ProjectionSize", [](PCAModelFileF& f) { position(f).projection.pop_back(); }, "projection size"},
        PcaCheckCase{"NaNProjection", [](PCAModelFileF& f) { position(f).projection[1] = dnan; }, "projection"},
        PcaCheckCase{"InfiniteProjection", [](PCAModelFileF& f) { position(f).projection[0] = dinf; }, "projection"},
        PcaCheckCase{"SecondMatrixIsNotRead", [](PCAModelFileF& f) { position(f).secondMatrix[0] = dnan; }, ""},
        PcaCheckCase{"NaNWeight", [](PCAModelFileF& f) { net(f).weights[3] = fnan; }, "non-finite weight"},
        PcaCheckCase{"InfiniteWeight", [](PCAModelFileF& f) { net(f).weights.back() = -finf; }, "non-finite weight"},
        PcaCheckCase{"NaNHiddenSlope", [](PCAModelFileF& f) { net(f).hiddenSteepness[0] = fnan; }, "steepness"},
        PcaCheckCase{"InfiniteOutputSlope", [](PCAModelFileF& f) { net(f).outputSteepness[3] = finf; }, "steepness"},
        PcaCheckCase{"InfiniteInputRange", [](PCAModelFileF& f) { net(f).inMax[1] = finf; }, "range"},
        PcaCheckCase{"NaNOutputRange", [](PCAModelFileF& f) { net(f).outMin[2] = fnan; }, "range"},
        PcaCheckCase{"SinglePointInputRange", [](PCAModelFileF& f) { net(f).inMax[0] = net(f).inMin[0]; }, ""},
        PcaCheckCase{"InfiniteBoxes",
            [](PCAModelFileF& f) {
                net(f).boxLow[0] = -finf;
                net(f).boxHigh[1] = finf;
            },
            ""},
        PcaCheckCase{"NaNBox", [](PCAModelFileF& f) { net(f).boxHigh[0] = fnan; }, "NaN in the input box"},
        PcaCheckCase{"ArrayShorterThanK", [](PCAModelFileF& f) { net(f).inMin.pop_back(); }, "range arrays"},
        PcaCheckCase{"ReadIncomplete",
            [](PCAModelFileF& f) {
                std::vector<uint8_t> image = f.toBytes();
                image.pop_back();
                f.readFromMemory(image.data(), image.size());
            },
            "incomplete"},
        PcaCheckCase{"NoTable",
            [](PCAModelFileF& f) {
                f.groups[0].tableLength = 0;
                for (auto& p : f.groups[0].positions)
                    p.table.clear();
            },
            ""},
        PcaCheckCase{"TableLengthDisagrees", [](PCAModelFileF& f) { position(f).table.push_back(0.0); },
            "operating-point table has 31 values"},
        PcaCheckCase{"NoEntries", [](PCAModelFileF& f) { position(f).table[0] = 0.0; }, ""},
        PcaCheckCase{"EntriesFillTheTable",
            [](PCAModelFileF& f) {
                f.groups[0].tableLength = 27;
                for (auto& p : f.groups[0].positions)
                    p.table.resize(27);
            },
            ""},
        PcaCheckCase{"OneValueShort",
            [](PCAModelFileF& f) {
                f.groups[0].tableLength = 26;
                for (auto& p : f.groups[0].positions)
                    p.table.resize(26);
            },
            "too short for 2 entries"},
        PcaCheckCase{"TooManyEntries", [](PCAModelFileF& f) { position(f).table[0] = 3.0; }, "too short"},
        PcaCheckCase{"HugeEntryCount", [](PCAModelFileF& f) { position(f).table[0] = 1e300; }, "too short"},
        PcaCheckCase{"NegativeEntryCount", [](PCAModelFileF& f) { position(f).table[0] = -1.0; }, "entry count"},
        PcaCheckCase{"FractionalEntryCount", [](PCAModelFileF& f) { position(f).table[0] = 1.5; }, "entry count"},
        PcaCheckCase{"NaNEntryCount", [](PCAModelFileF& f) { position(f).table[0] = dnan; }, "entry count"},
        PcaCheckCase{"NaNInAnEntry", [](PCAModelFileF& f) { position(f).table[26] = dnan; }, "non-finite"},
        PcaCheckCase{"NaNAfterTheEntries", [](PCAModelFileF& f) { position(f).table[27] = dnan; }, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PcaChecksByBlock, EntryLengthIsTheBlocks)
{
    PcaFileOptions o;
    o.tables = {opTable({std::vector<double>(10, 1.0), std::vector<double>(10, 2.0)})};
    PCAModelFileF file = makePcaFile(o);
    EXPECT_EQ(checkPcaModelFile(file, 10), "");
    EXPECT_NE(checkPcaModelFile(file, 13), "");
}

TEST(PcaChecksByBlock, ReasonNamesTheFirstFaultyPlace)
{
    PCAModelFileF file = usablePca();
    net(file, 0, 1).weights[0] = fnan;
    net(file, 1, 0).weights[0] = fnan;
    EXPECT_EQ(checkPcaModelFile(file, 13).rfind("position 0 network 1: ", 0), 0u);
}

ModelFileF usableStd()
{
    StdFileOptions o;
    o.positions = 3;
    o.tables = {opTable({std::vector<double>(8, 1.0)})};
    return makeStdFile(o);
}

struct StdCheckCase {
    const char* name;
    void (*apply)(ModelFileF&);
    const char* reason;
};

void PrintTo(const StdCheckCase& c, std::ostream* os)
{
    *os << c.name;
}

class StdChecks : public ::testing::TestWithParam<StdCheckCase> {};

TEST_P(StdChecks, Block4)
{
    const StdCheckCase& c = GetParam();
    ModelFileF file = usableStd();
    c.apply(file);
    const std::string reason = checkStdModelFile(file, 8);
    if (std::string(c.reason).empty())
        EXPECT_EQ(reason, "");
    else
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
}

ModelNet& stdNet(ModelFileF& f)
{
    return f.groups[0].positions[2].nets[0];
}

INSTANTIATE_TEST_SUITE_P(Cases, StdChecks,
    ::testing::Values(
        StdCheckCase{"Usable", [](ModelFileF&) {}, ""},
        StdCheckCase{"NoGroups", [](ModelFileF& f) { f.groups.clear(); }, "no group"},
        StdCheckCase{"NoPositions", [](ModelFileF& f) { f.groups[0].positions.clear(); }, "no positions"},
        StdCheckCase{"NoNetworks", [](ModelFileF& f) { f.groups[0].positions[1].nets.clear(); }, "position 1: no networks"},
        StdCheckCase{"ThreeInputs", [](ModelFileF& f) { f.groups[0].inputCount = 3; }, "input count 3"},
        StdCheckCase{"OneOutput", [](ModelFileF& f) { f.groups[0].outputCount = 1; }, "output count 1"},
        StdCheckCase{"ThreeOutputs", [](ModelFileF& f) { f = makeStdFile(StdFileOptions{1, 1, 2, 3, 4, {}, 0}); }, ""},
        StdCheckCase{"TwoHiddenLayers", [](ModelFileF& f) { stdNet(f).layerSizes = {1, 1}; }, "one hidden layer"},
        StdCheckCase{"TooManyNeurons",
            [](ModelFileF& f) {
                stdNet(f).layerSizes = {300};
                stdNet(f).weights.assign(3 * 300 + 301 * 2, 0.0f);
            },
            "300 neurons"},
        StdCheckCase{"WeightCount", [](ModelFileF& f) { stdNet(f).weights.pop_back(); }, "weight count"},
        StdCheckCase{"NaNHiddenSlope", [](ModelFileF& f) { stdNet(f).hiddenSteepness = fnan; }, "steepness"},
        StdCheckCase{"InfiniteOutputSlope", [](ModelFileF& f) { stdNet(f).outputSteepness = finf; }, "steepness"},
        StdCheckCase{"NaNWeight", [](ModelFileF& f) { stdNet(f).weights[0] = fnan; }, "weight"},
        StdCheckCase{"InfiniteOutMax", [](ModelFileF& f) { stdNet(f).outMax[1] = finf; }, "range"},
        StdCheckCase{"InfiniteBox", [](ModelFileF& f) { stdNet(f).boxLow[1] = -finf; }, ""},
        StdCheckCase{"NaNBox", [](ModelFileF& f) { stdNet(f).boxLow[1] = fnan; }, "NaN"},
        StdCheckCase{"EntryTooLongForTable", [](ModelFileF& f) { f.groups[0].positions[0].table[0] = 2.0; },
            "too short"},
        StdCheckCase{"InfiniteRate", [](ModelFileF& f) { f.groups[0].positions[0].table[1] = dinf; }, "non-finite"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace torvik::test
