// From block 4's running sums to the valves' brightness step.
#include "editor/Glow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace torvik {
namespace {

TEST(Glow, TableFollowsTheExponentialCurve) {
    const auto& t = glow::table();
    EXPECT_EQ(t[0], 0.0f);
    EXPECT_EQ(t[1], 0.086382f);
    EXPECT_EQ(t[2], 0.090903f);
    EXPECT_EQ(t[25], 0.293908f);
    EXPECT_EQ(t[48], 0.950259f);
    EXPECT_EQ(t[49], 1.0f);
    for (int i = 2; i < 50; ++i) EXPECT_GT(t[i], t[i - 1]);
}

TEST(Glow, MeanAndDeviationFromTheRunningSums) {
    const double n = 20480;
    const BlockLevels levels{1.0 / n, n * 0.002, n * (0.002 * 0.002 + 0.0005 * 0.0005)};
    const glow::Level level = glow::levelOf(levels);
    EXPECT_NEAR(level.mean, 0.002, 1e-15);
    EXPECT_NEAR(level.deviation, 0.0005, 1e-12);
    // rounding can leave the variance slightly negative: its magnitude is taken
    const glow::Level flat = glow::levelOf({1.0 / n, n * 0.001, n * 0.001 * 0.001 * (1.0 - 1e-12)});
    EXPECT_TRUE(std::isfinite(flat.deviation));
}

struct IndexCase {
    const char* what;
    double mean, deviation;
    int index;
};

TEST(Glow, IndexEdgeCases) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<IndexCase> cases = {
        {"silence", 0.0, 0.0, 0},
        {"resting current, no signal", 0.0015, 0.0, 0},
        {"k = 4 (single-precision level)", 0.002, 0.0001, 4},
        {"k just under 2 truncates to 1", 0.001, 0.0000599, 1},
        {"k = 66.7 clamps to 49", 0.001, 0.002, 49},
        {"k far beyond 49", 0.0069, 0.01, 49},
        {"mean exactly 0.007 with deviation", 0.007, 0.0001, 49},
        {"mean exactly 0.007 without deviation", 0.007, 0.0, 0},
        {"mean above 0.007 with deviation: full glow, not dark", 0.008, 0.0005, 49},
        {"mean above 0.007 without deviation", 0.008, 0.0, 0},
        {"not a number", nan, nan, 0},
    };
    for (const IndexCase& c : cases) EXPECT_EQ(glow::indexFor(glow::Level{c.mean, c.deviation}), c.index) << c.what;
}

TEST(Glow, LouderChainWinsInStereoOnly) {
    const glow::Level quiet{0.001, 0.00002};  // k = 50 * 0.00008 / 0.006 = 0.67 -> 0
    const glow::Level loud{0.001, 0.0006};    // k = 20
    EXPECT_EQ(glow::indexFor(loud, quiet, true), 20);
    EXPECT_EQ(glow::indexFor(quiet, loud, true), 20);
    EXPECT_EQ(glow::indexFor(quiet, loud, false), 0) << "mono looks at chain 0 only";
    EXPECT_EQ(glow::indexFor(loud, loud, true), 20);
}

TEST(Glow, ViewValueFromIndex) {
    EXPECT_EQ(glow::viewValueFor(0), 0.0f);
    EXPECT_EQ(glow::viewValueFor(1), static_cast<float>(0.086382f * 24.0));
    EXPECT_NEAR(glow::viewValueFor(1), 2.073168f, 1e-6f);
    EXPECT_EQ(glow::viewValueFor(49), 24.0f);
}

} // namespace
} // namespace torvik
