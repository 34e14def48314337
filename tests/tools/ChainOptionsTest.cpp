#include "tools/chain/ChainOptions.h"

#include <gtest/gtest.h>

namespace torvik {
namespace {

TEST(ChainOptions, DefaultsAndAcceptedValues) {
    ChainOptions o;
    ASSERT_EQ(parseChainOptions({}, o), "");
    EXPECT_EQ(o.rate, 44100.0);
    EXPECT_EQ(o.gain, 8u);
    EXPECT_EQ(o.treble + o.bass + o.middle, 21u);
    EXPECT_EQ(o.tubes, TubeFamily::Fresh);
    EXPECT_EQ(o.engine, ChainEngine::Exact);

    ASSERT_EQ(parseChainOptions({"--rate", "96000", "--gain", "16", "--tone", "14,0,3", "--tubes", "aged",
                                 "--engine", "network", "--models", "/m"}, o), "");
    EXPECT_EQ(o.rate, 96000.0);
    EXPECT_EQ(o.gain, 16u);
    EXPECT_EQ(o.treble, 14u);
    EXPECT_EQ(o.bass, 0u);
    EXPECT_EQ(o.middle, 3u);
    EXPECT_EQ(o.tubes, TubeFamily::Aged);
    EXPECT_EQ(o.engine, ChainEngine::Network);
    EXPECT_EQ(o.modelFolder, "/m");
}

TEST(ChainOptions, BadValuesAreRefusedWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {"--gain", "17"}, {"--gain", "-1"}, {"--gain", "2.5"}, {"--gain", "x"},
        {"--tone", "7,7"}, {"--tone", "15,0,0"}, {"--tone", "1,2,3,4"}, {"--tone", ",,"},
        {"--rate", "0"}, {"--rate", "nan"}, {"--rate", "1e12"},
        {"--tubes", "new"}, {"--engine", "spice"},
        {"--gain"}, {"--bogus", "1"},
    };
    for (const auto& args : bad) {
        ChainOptions o;
        EXPECT_NE(parseChainOptions(args, o), "") << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
}

} // namespace
} // namespace torvik
