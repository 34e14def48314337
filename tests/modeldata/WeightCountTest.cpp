// Weight and hidden-neuron counts that size the network records.

#include "modeldata/WeightCount.h"

#include <gtest/gtest.h>

#include <limits>

namespace torvik::test {
namespace {

struct CountCase {
    uint32_t inputs;
    std::vector<uint32_t> layers;
    uint32_t outputs;
    uint64_t weights;
    uint64_t hidden;
};

class WeightCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(WeightCount, FollowsTheLayerFormula)
{
    const CountCase& c = GetParam();
    EXPECT_EQ(weightCount(c.inputs, c.layers, c.outputs), c.weights);
    EXPECT_EQ(hiddenNeuronCount(c.layers), c.hidden);
    EXPECT_EQ(weightCount32(c.inputs, c.layers, c.outputs), static_cast<uint32_t>(c.weights));
    EXPECT_EQ(hiddenNeuronCount32(c.layers), static_cast<uint32_t>(c.hidden));
}

INSTANTIATE_TEST_SUITE_P(Cases, WeightCount,
    ::testing::Values(CountCase{3, {8}, 4, 4 * 8 + 9 * 4, 8},  // 68
        CountCase{2, {}, 2, 3 * 2, 0},
        CountCase{2, {0}, 2, 2, 0},
        CountCase{2, {5, 3}, 1, 3 * 5 + 6 * 3 + 4 * 1, 8},
        CountCase{0, {}, 0, 0, 0},
        CountCase{0xFFFFFFFFu, {2}, 0, 0x100000000ull * 2, 2}));

TEST(WeightCountLimits, SaturatesInsteadOfWrapping)
{
    constexpr uint64_t saturated = std::numeric_limits<uint64_t>::max();
    const std::vector<uint32_t> wide(8, 0xFFFFFFFFu);
    EXPECT_EQ(weightCount(0xFFFFFFFFu, wide, 0xFFFFFFFFu), saturated);
    EXPECT_EQ(weightCount(saturated, {}, 1), saturated);
    EXPECT_EQ(weightCount(saturated, {}, 0), 0u);
    EXPECT_EQ(hiddenNeuronCount(wide), 8ull * 0xFFFFFFFFu);
}

} // namespace
} // namespace torvik::test
