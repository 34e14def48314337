// Loading, rate and position rules of the network blocks, and the chain built from them.
#include "model/ModelChain.h"
#include "support/AllocationCounter.h"
#include "support/ModelFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <atomic>

namespace torvik {
namespace {

using namespace fixtures;

// Tests run in parallel processes: every test writes its files under names of its own.
std::string tempPath(const std::string& name) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + "torvik_" + std::to_string(getpid()) + "_" + test->test_suite_name() + "_" +
           test->name() + "_" + name;
}

std::string save(BaseModelFileF& file, const std::string& name) {
    const std::string path = tempPath(name);
    EXPECT_TRUE(file.saveTo(path));
    return path;
}

// An operating-point entry of a 4-port, 4-state block whose values are recognisable:
// p = base+1.., i = base+11.., x = base+21..
std::vector<double> gainEntry(double rate, double base) {
    return {rate, base + 1, base + 2, base + 3, base + 4, base + 11, base + 12, base + 13, base + 14,
            base + 21, base + 22, base + 23, base + 24};
}

PCAModelFileF gainBlockFile(unsigned positions, std::array<int32_t, 4> outputMask = {1, 1, 1, 1}) {
    PcaFileOptions o;
    o.positions = positions;
    o.featureCount = 2;
    o.outputMask = outputMask;
    o.tables = {opTable({gainEntry(44100.0, 100.0), gainEntry(88200.0, 200.0)})};
    return makePcaFile(o);
}

struct GainBlockFixture : ::testing::Test {
    FastBlock1 block;
    void load(unsigned positions, std::array<int32_t, 4> mask = {1, 1, 1, 1}) {
        PCAModelFileF file = gainBlockFile(positions, mask);
        ASSERT_TRUE(block.loadModel(save(file, "b1.dat")));
    }
    void expectAt(double base) {
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(block.p[k], base + 1 + k);
            EXPECT_EQ(block.i[k], base + 11 + k);
            EXPECT_EQ(block.x[k], base + 21 + k);
        }
    }
};

TEST_F(GainBlockFixture, FirstPositionStartsFromTheOperatingPointOfTheRate) {
    load(17);
    EXPECT_FALSE(block.isReady());
    block.setGainPosition(8);
    EXPECT_TRUE(block.isReady());
    expectAt(100.0);
}

TEST_F(GainBlockFixture, RateChangesFollowTheTable) {
    load(17);
    block.setGainPosition(8);
    block.setSampleRate(88200.0);  // in the table: reset at once
    expectAt(200.0);
    block.x[0] = 5.0;
    block.setSampleRate(88200.0);  // same rate: nothing happens
    EXPECT_EQ(block.x[0], 5.0);
    block.setSampleRate(96000.0);  // not in the table: back to what was held
    expectAt(200.0);
    EXPECT_EQ(block.sampleRate(), 96000.0);
}

// Another file at the same rate (the other tube family) rests elsewhere: the state restarts from
// its resting point, or the old one would settle out as a thump at the output. A position change
// on the same file only carries the state along (PositionChangeCarriesTheDistanceFromRest).
TEST_F(GainBlockFixture, ANewFileRestartsFromItsOwnOperatingPoint) {
    load(17);
    block.setGainPosition(8);
    block.x << 1, 2, 3, 4;
    PcaFileOptions o;
    o.positions = 17;
    o.featureCount = 2;
    o.tables = {opTable({gainEntry(44100.0, 300.0)})};
    PCAModelFileF other = makePcaFile(o);
    ASSERT_TRUE(block.loadModel(save(other, "other.dat")));
    block.setGainPosition(8);
    expectAt(300.0);
    FastBlock1 sharing;
    sharing.shareModelOf(block);
    sharing.setGainPosition(8);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(sharing.x[k], 300.0 + 21 + k);
}

TEST_F(GainBlockFixture, PositionBeyondTheFileSelectsTheLastRecordAndItsPotValues) {
    load(5);
    block.setGainPosition(16);
    EXPECT_EQ(block.position(), 4u);
    Block1Circuit reference;
    reference.setPotSections(4);
    reference.rebuildMatrices();
    EXPECT_EQ(block.DE, reference.DE);
    EXPECT_EQ(block.ABC, reference.ABC);
}

TEST_F(GainBlockFixture, PositionChangeKeepsStatesAndResetsOnlyUncomputedCurrents) {
    load(17, {1, 0, 1, 0});
    block.setGainPosition(3);
    block.x << 1, 2, 3, 4;
    block.i << 7, 7, 7, 7;
    block.setGainPosition(9);
    EXPECT_EQ(block.x, Eigen::Vector4d(1, 2, 3, 4));
    EXPECT_EQ(block.i, Eigen::Vector4d(7, 112, 7, 114));
}

// Each position's networks rest a little apart: turning the pot carries the state's distance from
// rest over to the new resting point (silence stays silent, a signal carries on), and the
// currents no network computes take the new held values.
TEST(NetworkBlock, PositionChangeCarriesTheDistanceFromRest) {
    PcaFileOptions o;
    o.positions = 17;
    o.featureCount = 2;
    o.outputMask = {1, 0, 1, 0};
    o.tables = {opTable({gainEntry(44100.0, 100.0)}), opTable({gainEntry(44100.0, 140.0)})};
    PCAModelFileF file = makePcaFile(o);
    FastBlock1 block;
    ASSERT_TRUE(block.loadModel(save(file, "rests.dat")));
    block.setGainPosition(2);  // even positions rest at 100 + ..., odd ones at 140 + ...
    for (int k = 0; k < 4; ++k) EXPECT_EQ(block.x[k], 121.0 + k);
    block.x[0] += 0.5;  // a signal
    block.setGainPosition(3);
    EXPECT_EQ(block.x, Eigen::Vector4d(161.5, 162, 163, 164));
    EXPECT_EQ(block.i, Eigen::Vector4d(151, 152, 153, 154));
    block.setGainPosition(3);  // the same position again: nothing moves
    EXPECT_EQ(block.x[0], 161.5);
}

TEST_F(GainBlockFixture, MaskedNetworkWritesOnlyItsSlots) {
    load(17, {1, 0, 1, 0});
    block.setGainPosition(2);
    block.u[0] = 0.1;
    block.step();
    EXPECT_EQ(block.i[0], constantOutput(2, 0, 0));
    EXPECT_EQ(block.i[1], 112.0);
    EXPECT_EQ(block.i[2], constantOutput(2, 0, 1));
    EXPECT_EQ(block.i[3], 114.0);
}

TEST(NetworkBlock, PositionBeforeAnyLoadChangesNothing) {
    FastBlock1 block;
    const auto de = block.DE;
    block.setGainPosition(3);
    EXPECT_FALSE(block.positionSelected());
    EXPECT_EQ(block.DE, de);  // pot sections untouched: still the construction position
    block.u[0] = 1.0;
    block.step();
    EXPECT_EQ(block.y[0], 0.0);
}

TEST(NetworkBlock, RefusedFilesLeaveTheBlockAsItWas) {
    FastBlock1 block;
    PCAModelFileF good = gainBlockFile(17);
    ASSERT_TRUE(block.loadModel(save(good, "good.dat")));
    block.setGainPosition(6);

    std::vector<uint8_t> image = imageOf(good);
    image.resize(image.size() / 2);
    std::ofstream(tempPath("cut.dat"), std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());

    PcaFileOptions badTable;  // a table that claims more entries than it holds
    badTable.tables = {{5.0, 44100.0}};
    PCAModelFileF overlong = makePcaFile(badTable);
    ModelFileF wrongKind = makeStdFile(StdFileOptions{});
    PcaFileOptions shortTable;  // entries of another block's length
    shortTable.tables = {opTable({{44100.0, 1, 2, 3, 4, 5, 6, 7, 8, 9}})};
    PCAModelFileF block3Table = makePcaFile(shortTable);

    const std::string refused[] = {tempPath("missing.dat"), tempPath("cut.dat"), save(overlong, "overlong.dat"),
                                   save(wrongKind, "std.dat"), save(block3Table, "b3table.dat")};
    for (const std::string& path : refused) {
        const LoadResult r = block.loadModel(path);
        EXPECT_FALSE(r.ok) << path;
        EXPECT_FALSE(r.message.empty());
        EXPECT_TRUE(block.isReady()) << path;
        EXPECT_EQ(block.position(), 6u);
        EXPECT_EQ(block.networkCount(), 17u);
    }
}

TEST(NetworkBlock, LoadRequiresAPositionBeforeTheNextStep) {
    FastBlock1 block;
    PCAModelFileF file = gainBlockFile(17);
    const std::string path = save(file, "reload.dat");
    ASSERT_TRUE(block.loadModel(path));
    block.setGainPosition(6);
    ASSERT_TRUE(block.loadModel(path));
    EXPECT_FALSE(block.isReady());
    EXPECT_TRUE(block.positionSelected());
    block.step();
    EXPECT_EQ(block.y[0], 0.0);
}

TEST(NetworkBlock, Block3StartsOnTheFirstNetworkOfItsRun) {
    FastBlock3 block;
    PcaFileOptions o;
    o.netsPerPosition = 3;
    o.tables = {opTable({{44100.0, 1, 2, 3, 4, 5, 6, 7, 8, 9}})};
    PCAModelFileF file = makePcaFile(o);
    ASSERT_TRUE(block.loadModel(save(file, "b3.dat")));
    block.applyPosition();
    EXPECT_EQ(block.lastUsedNetwork(), 0u);
    EXPECT_EQ(block.x[0], 9.0);
}

// A full chain from fixture files with small random networks.
struct ChainFiles {
    std::string b1, b2, b3, b4;
    ChainFiles() {
        PcaFileOptions gain;
        gain.positions = 17;
        gain.featureCount = 3;
        gain.weightSeed = 3;
        gain.tables = {opTable({gainEntry(44100.0, 0.0)})};
        PCAModelFileF f1 = makePcaFile(gain);
        gain.weightSeed = 4;
        PCAModelFileF f2 = makePcaFile(gain);
        PcaFileOptions third;
        third.netsPerPosition = 2;
        third.weightSeed = 5;
        third.tables = {opTable({{44100.0, 1, 2, 3, 4, 1e-6, 1e-3, 1e-6, 1e-3, 1e-4}})};
        PCAModelFileF f3 = makePcaFile(third);
        StdFileOptions tone;
        tone.positions = 4;
        tone.weightSeed = 6;
        tone.tables = {opTable({{44100.0, 1, 2, 1e-6, 1e-3, 1e-4, 2e-4, 3e-4}})};
        ModelFileF f4 = makeStdFile(tone);
        b1 = save(f1, "chain_b1.dat");
        b2 = save(f2, "chain_b2.dat");
        b3 = save(f3, "chain_b3.dat");
        b4 = save(f4, "chain_b4.dat");
    }
    void loadInto(ModelChain& c) const {
        ASSERT_TRUE(c.b1().loadModel(b1));
        ASSERT_TRUE(c.b2().loadModel(b2));
        ASSERT_TRUE(c.b3().loadModel(b3));
        ASSERT_TRUE(c.b4().loadModel(b4));
        c.setSampleRate(44100.0);
        c.b1().setGainPosition(8);
        c.b2().setGainPosition(8);
        c.b3().applyPosition();
        c.b4().setTonePosition(1687);
    }
};

TEST(ModelChain, UnloadedChainIsSilent) {
    auto chain = std::make_unique<ModelChain>();
    EXPECT_FALSE(chain->isReady());
    EXPECT_EQ(chain->processSample(0.5), 0.0);
    ChainFiles files;
    ASSERT_TRUE(chain->b1().loadModel(files.b1));
    chain->b1().setGainPosition(3);
    EXPECT_FALSE(chain->isReady());
    EXPECT_EQ(chain->processSample(0.5), 0.0);
}

TEST(ModelChain, TwoChainsGiveIdenticalOutput) {
    ChainFiles files;
    auto a = std::make_unique<ModelChain>(), b = std::make_unique<ModelChain>();
    files.loadInto(*a);
    files.loadInto(*b);
    ASSERT_TRUE(a->isReady());
    for (int n = 0; n < 2000; ++n) {
        const double v = 0.7 * std::sin(n * 0.05);
        ASSERT_EQ(a->processSample(v), b->processSample(v)) << n;
    }
}

TEST(ModelChain, NonFiniteAndHugeInputsDoNotPoisonTheChain) {
    ChainFiles files;
    auto a = std::make_unique<ModelChain>(), b = std::make_unique<ModelChain>();
    files.loadInto(*a);
    files.loadInto(*b);
    for (int n = 0; n < 100; ++n) a->processSample(0.1), b->processSample(0.1);
    EXPECT_EQ(a->processSample(NAN), b->processSample(0.0));
    for (double huge : {double(INFINITY), -double(INFINITY), 1e300, -1e300}) {
        const double y = a->processSample(huge);
        EXPECT_TRUE(std::isfinite(y)) << huge;
    }
    for (int n = 0; n < 100; ++n) EXPECT_TRUE(std::isfinite(a->processSample(0.1)));
    EXPECT_TRUE(a->b4().x.allFinite());
    EXPECT_TRUE(std::isfinite(a->b4().statistics.sum));
}

TEST(ModelChain, ToneRequestIsAppliedAtTheNextStepWithoutAllocating) {
    // At the shared files' own rate, and at another one, where the block also corrects its
    // networks' input for the change of its port impedances.
    for (double rate : {kSharedFileRate, 96000.0}) {
        ChainFiles files;
        auto chain = std::make_unique<ModelChain>();
        files.loadInto(*chain);
        chain->b4().setSampleRate(rate);
        chain->processSample(0.0);
        chain->b4().requestTonePosition(2);
        EXPECT_EQ(chain->b4().position(), 3u);  // still the clamped 1687 until audio runs
        AllocationCounter counter;
        chain->processSample(0.2);
        EXPECT_EQ(counter.count(), 0) << rate;
        EXPECT_EQ(chain->b4().position(), 2u);
        Block4Circuit reference;
        reference.setPotSections(2);
        reference.setRunningRate(rate);
        EXPECT_EQ(chain->b4().ABC, reference.ABC) << rate;
        EXPECT_EQ(chain->b4().K, reference.K) << rate;
    }
}

TEST(ModelChainConcurrency, ToneRequestsFromAnotherThreadWhileAudioRuns) {
    ChainFiles files;
    auto chain = std::make_unique<ModelChain>();
    files.loadInto(*chain);
    std::atomic<bool> done{false};
    std::thread control([&] {
        for (unsigned t = 0; t < 2000; ++t) chain->b4().requestTonePosition(t % 4);
        done = true;
    });
    long n = 0;
    while (!done.load() || n < 1000) {
        ASSERT_TRUE(std::isfinite(chain->processSample(0.3 * std::sin(0.01 * n))));
        ++n;
    }
    control.join();
    chain->b4().requestTonePosition(1);
    chain->processSample(0.0);
    EXPECT_EQ(chain->b4().position(), 1u);
}

TEST(ModelChain, RateChangeReachesEveryBlock) {
    ChainFiles files;
    auto chain = std::make_unique<ModelChain>();
    files.loadInto(*chain);
    chain->setSampleRate(96000.0);
    EXPECT_EQ(chain->b1().sampleRate(), 96000.0);
    EXPECT_EQ(chain->b2().sampleRate(), 96000.0);
    EXPECT_EQ(chain->b3().sampleRate(), 96000.0);
    EXPECT_EQ(chain->b4().sampleRate(), 96000.0);
}

TEST(RunningStatistics, WindowWrapsAndSumsTrack) {
    RunningStatistics s;
    for (int k = 1; k <= RunningStatistics::kLength; ++k) s.push(k);
    const double n = RunningStatistics::kLength;
    EXPECT_EQ(s.sum, n * (n + 1) / 2);
    EXPECT_EQ(s.position, RunningStatistics::kLength - 1);
    s.push(0.0);  // replaces the first value written, 1
    EXPECT_EQ(s.position, 0);
    EXPECT_EQ(s.sum, n * (n + 1) / 2 - 1);

    RunningStatistics constant;
    for (int k = 0; k < 3 * RunningStatistics::kLength; ++k) constant.push(0.5e-3);
    EXPECT_NEAR(constant.sum, n * 0.5e-3, 1e-9);
    EXPECT_NEAR(constant.sumOfSquares, n * 0.25e-6, 1e-12);
    EXPECT_EQ(constant.inverseLength, 1.0 / 20480);
}

} // namespace
} // namespace torvik
