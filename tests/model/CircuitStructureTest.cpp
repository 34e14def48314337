// Structural facts of the four circuits that hold for every rate and position.
#include "model/BlockTypes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace torvik {
namespace {

template <class Block>
Block atPosition(unsigned k, double fs = 44100.0) {
    Block b;
    b.setRunningRate(fs);
    b.setPotSections(k);
    b.rebuildMatrices();
    return b;
}

template <class Block>
void expectFinite(const Block& b) {
    EXPECT_TRUE(b.DE.allFinite());
    EXPECT_TRUE(b.K.allFinite());
    EXPECT_TRUE(b.ABC.allFinite());
    EXPECT_TRUE(b.Out.allFinite());
}

// A capacitor across a 0-ohm section has no voltage: it only flips the sign of its state and
// reaches nothing else.
template <class Block>
void expectShortedCapacitor(const Block& b, int k) {
    expectFinite(b);
    EXPECT_EQ(b.ABC.row(k).cwiseAbs().sum(), 1.0);
    EXPECT_EQ(b.ABC(k, k), -1.0);
    EXPECT_EQ(b.DE.col(k).cwiseAbs().sum(), 0.0);
    EXPECT_EQ(b.ABC.col(k).cwiseAbs().sum(), 1.0);
    EXPECT_EQ(b.Out(0, k), 0.0);
}

TEST(CircuitStructure, FullGainShortsTheBrightCapacitor) {
    expectShortedCapacitor(atPosition<Block1Circuit>(16), 3);
    expectShortedCapacitor(atPosition<Block2Circuit>(16), 1);
    expectShortedCapacitor(atPosition<Block1Circuit>(16, 705600.0), 3);
}

TEST(CircuitStructure, Block1Dependencies) {
    for (unsigned k : {0u, 8u, 15u}) {
        const auto b = atPosition<Block1Circuit>(k);
        EXPECT_EQ(b.DE(0, 4), -1.0);
        EXPECT_EQ(b.DE.row(0).segment(1, 3).cwiseAbs().sum(), 0.0);  // p0: x0 and u0 only
        EXPECT_EQ(b.DE.row(3).head(5).cwiseAbs().sum(), 0.0);         // p3: u1 only
        EXPECT_NEAR(b.DE(3, 5), 334.0 * 4.0 / 4.1 / 334.0, 1e-15);
        EXPECT_EQ(b.ABC.row(0).segment(1, 5).cwiseAbs().sum(), 0.0);  // x0: x0 and triode 1
        EXPECT_EQ(b.ABC(0, 8) + b.ABC(0, 9), 0.0);
        EXPECT_EQ(b.Out(0, 0) + b.Out(0, 4) + b.Out(0, 6) + b.Out(0, 9), 0.0);
    }
}

TEST(CircuitStructure, Block2SplitsAtTheFirstValve) {
    for (unsigned k : {0u, 8u, 16u}) {
        const auto b = atPosition<Block2Circuit>(k);
        // p0 from x0, x1, u0; p1, p2 from x2, x3, u1; p3 from u2.
        EXPECT_EQ(std::abs(b.DE(0, 2)) + std::abs(b.DE(0, 3)) + std::abs(b.DE(0, 5)) + std::abs(b.DE(0, 6)), 0.0);
        for (int r : {1, 2}) EXPECT_EQ(std::abs(b.DE(r, 0)) + std::abs(b.DE(r, 1)) + std::abs(b.DE(r, 4)), 0.0);
        EXPECT_EQ(b.DE.row(3).head(6).cwiseAbs().sum(), 0.0);
        EXPECT_EQ(b.Out(0, 0) + b.Out(0, 1) + b.Out(0, 4) + b.Out(0, 6) + b.Out(0, 7) + b.Out(0, 10), 0.0);
    }
}

TEST(CircuitStructure, Block3ChangesWithRateOnlyThroughItsCapacitor) {
    const auto low = atPosition<Block3Circuit>(0, 44100.0);
    const auto high = atPosition<Block3Circuit>(0, 705600.0);
    EXPECT_TRUE(low.K.bottomRows(3).isApprox(high.K.bottomRows(3), 1e-14));
    EXPECT_NE(low.K(0, 0), high.K(0, 0));
    EXPECT_TRUE(low.Out.isApprox(high.Out, 1e-14));
    // With all currents zero the output is the supply.
    EXPECT_NEAR(low.Out(0, 2) * 345.0, 345.0, 1e-12);
    EXPECT_NEAR(low.K(1, 1), -100820.0, 1e-9);
    EXPECT_NEAR(low.K(2, 2), 200000.0, 1e-9);
}

TEST(CircuitStructure, ToneStackSeesOnlyTheCathode) {
    for (unsigned t : {0u, 1687u, 3374u, TonePots::index(14, 0, 14), TonePots::index(0, 14, 0)}) {
        const auto b = atPosition<Block4Circuit>(t);
        expectFinite(b);
        EXPECT_EQ(b.DE.row(0).head(3), b.DE.row(1).head(3));
        EXPECT_EQ(b.DE(0, 3), -1.0);
        EXPECT_EQ(b.DE(1, 4), -1.0);
        EXPECT_EQ(b.DE(0, 4) + b.DE(1, 3), 0.0);
        EXPECT_TRUE((b.K.array() == b.K(0, 0)).all());
        EXPECT_EQ(b.ABC.middleCols(3, 2).cwiseAbs().sum(), 0.0);  // B = 0
        EXPECT_EQ(b.ABC.col(5), b.ABC.col(6));
        EXPECT_EQ(b.Out(0, 3) + b.Out(0, 4), 0.0);
        EXPECT_EQ(b.Out(0, 5), b.Out(0, 6));
    }
}

TEST(CircuitStructure, TonePotsAtTheirEnds) {
    const struct { unsigned t; double trebleLower, bass, middleLower; } cases[] = {
        {0, 1.0, 1.0, 1.0},
        {TonePots::index(14, 14, 14), 220000.0, 1000000.0, 22000.0},
        {TonePots::index(7, 0, 0), 0.5 * 219999.0 + 1.0, 1.0, 1.0},
    };
    for (const auto& c : cases) {
        const TonePots p = TonePots::fromIndex(c.t);
        EXPECT_NEAR(p.trebleLower, c.trebleLower, 1e-9);
        EXPECT_NEAR(p.bass, c.bass, 1e-9);
        EXPECT_NEAR(p.middleLower, c.middleLower, 1e-9);
        EXPECT_NEAR(p.trebleUpper + p.trebleLower, 220000.0, 1e-9);
        EXPECT_NEAR(p.middleUpper + p.middleLower, 22000.0, 1e-9);
    }
    EXPECT_EQ(TonePots::fromIndex(TonePots::index(14, 3, 14)).trebleUpper, 0.0);
    EXPECT_EQ(TonePots::fromIndex(TonePots::index(14, 3, 14)).middleUpper, 0.0);
}

TEST(CircuitStructure, GainPotLaw) {
    EXPECT_EQ(GainPot::wiperToGround(0), 6054.0);
    EXPECT_EQ(GainPot::topToWiper(0), 993945.0);
    EXPECT_NEAR(GainPot::wiperToGround(8), 200066.2, 0.05);
    EXPECT_EQ(GainPot::wiperToGround(16), 999999.0);
    EXPECT_EQ(GainPot::topToWiper(16), 0.0);
}

// The sparse per-sample products give the dense products exactly.
TEST(CircuitStructure, StepProductsMatchDenseProducts) {
    struct Probe : Block1Circuit {
        void run() {
            setPotSections(5);
            rebuildMatrices();
            x << 1e-4, -2e-5, 3e-6, 7e-6;
            u << 0.3, 334.0;
            i << 1e-7, 8e-4, 2e-8, 3e-4;
            Eigen::Matrix<double, 6, 1> xu;
            xu << x, u;
            Eigen::Matrix<double, 10, 1> all;
            all << x, u, i;
            computePreVoltages();
            EXPECT_TRUE(p.isApprox(DE * xu, 1e-14));
            const VecX xNext = ABC * all;
            advanceStateAndOutput();
            EXPECT_TRUE(x.isApprox(xNext, 1e-14));
            all.head<4>() = xNext;
            EXPECT_NEAR(y[0], (Out * all)(0, 0), 1e-12);
            const long nonZeroProducts = (DE.array() != 0.0).count() + (ABC.array() != 0.0).count() + (Out.array() != 0.0).count();
            EXPECT_LT(nonZeroProducts, 6 * 4 + 10 * 4 + 10);
        }
    } probe;
    probe.run();
}

} // namespace
} // namespace torvik
