// Parameter mapping: host value <-> internal value, value texts, gains and the tone index.
#include "processor/Gains.h"
#include "processor/Parameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace torvik {
namespace {

struct StoreCase {
    int index;
    float host;
    float internal;
    float reported;
};

TEST(Parameters, StoreRuleAndReportedValue) {
    const StoreCase cases[] = {
        {kTubeSet, -0.5f, 0, -0.5f},       {kTubeSet, 0.0f, 0, -0.5f},       {kTubeSet, 0.49f, 0, -0.5f},
        {kTubeSet, 0.5f, 1, 0.5f},         {kTubeSet, 1.0f, 1, 0.5f},        {kChannelMode, 0.5f, 1, 0.5f},
        {kShowSettings, -0.5f, 0, -0.5f},  {kInput, 0.5f, 24.5f, 0.5f},     {kInput, 0.3f, 49.0f * 0.3f, 49.0f * 0.3f / 49.0f},
        {kOutput, 1.0f, 49, 1.0f},         {kOutput, 0.0f, 0, 0.0f},         {kGain, 0.999f, 15, 0.9375f},
        {kGain, 1.0f, 16, 1.0f},           {kGain, 0.5f, 8, 0.5f},           {kGain, 0.52f, 8, 0.5f},
        {kTreble, 1.0f, 14, 1.0f},         {kMiddle, 0.5f, 7, 0.5f},         {kBass, 0.07f, 0, 0.0f},
        {kOversampling, 0.7f, 2, 0.5f},    {kOversampling, 1.0f, 4, 1.0f},   {kOversampling, 0.25f, 1, 0.25f},
        // Outside 0..1: clamped into the parameter's range.
        {kTubeSet, 7.0f, 1, 0.5f},         {kTubeSet, -3.0f, 0, -0.5f},      {kInput, 2.0f, 49, 1.0f},
        {kInput, -1.0f, 0, 0.0f},          {kOutput, 1.0001f, 49, 1.0f},     {kGain, -0.2f, 0, 0.0f},
        {kGain, 5.0f, 16, 1.0f},           {kBass, -1.0f, 0, 0.0f},          {kTreble, 1e30f, 14, 1.0f},
        {kOversampling, 3.0f, 4, 1.0f},    {kOversampling, -0.3f, 0, 0.0f},  {kShowSettings, 1.7f, 1, 0.5f},
        {kInput, std::numeric_limits<float>::infinity(), 49, 1.0f},
        {kGain, -std::numeric_limits<float>::infinity(), 0, 0.0f},
    };
    for (const StoreCase& c : cases) {
        const std::optional<float> v = internalFromHost(c.index, c.host);
        ASSERT_TRUE(v.has_value()) << c.index << " " << c.host;
        EXPECT_EQ(*v, c.internal) << "parameter " << c.index << " host " << c.host;
        EXPECT_EQ(reportedFromInternal(c.index, *v), c.reported) << "parameter " << c.index << " host " << c.host;
        // Storing the reported value back gives the same internal value.
        EXPECT_EQ(internalFromHost(c.index, reportedFromInternal(c.index, *v)), *v) << c.index;
    }
}

TEST(Parameters, NanAndUnknownIndicesStoreNothing) {
    for (int index = 0; index < kParameterCount; ++index)
        EXPECT_FALSE(internalFromHost(index, std::numeric_limits<float>::quiet_NaN()).has_value()) << index;
    EXPECT_FALSE(internalFromHost(-1, 0.5f).has_value());
    EXPECT_FALSE(internalFromHost(kParameterCount, 0.5f).has_value());
    EXPECT_EQ(parameterValueText(10, 0.0f), "");
}

TEST(Parameters, NamesAndKeys) {
    const char* names[] = {"Dual Triodes", "Input", "Gain", "Treble", "Middle", "Bass", "Output",
                           "Oversampling", "Mono/Stereo", "Show settings"};
    const char* keys[] = {"model", "in", "gain", "trbl", "mdl", "bas", "out", "ovrsmplng", "stro", "showset"};
    for (int index = 0; index < kParameterCount; ++index) {
        EXPECT_STREQ(parameterInfo(index).name, names[index]);
        EXPECT_STREQ(parameterInfo(index).key, keys[index]);
    }
}

struct TextCase {
    int index;
    float internal;
    const char* text;
};

TEST(Parameters, ValueTexts) {
    const TextCase cases[] = {
        {kTubeSet, 0, "Fresh 12ax7"}, {kTubeSet, 1, "Aged  12ax7"}, {kTubeSet, 0.6f, "Aged  12ax7"},
        {kOversampling, 0, "none"},   {kOversampling, 1, "x2"},     {kOversampling, 2, "x4"},
        {kOversampling, 3, "x8"},     {kOversampling, 4, "x16"},    {kChannelMode, 0, "Mono"},
        {kChannelMode, 1, "Stereo"},  {kShowSettings, 0, "false"},  {kShowSettings, 1, "true"},
        {kInput, 24.5f, "0.50=>24.5"}, {kGain, 8, "0.50=>8"},       {kTreble, 14, "1.00=>14"},
        {kOutput, 0, "0.00=>0"},      {kOutput, 49, "1.00=>49"},    {kMiddle, 1, "0.07=>1"},
        {kBass, 13, "0.93=>13"},      {kGain, 1, "0.06=>1"},        {kInput, 49.0f * 0.3f, "0.30=>14.7"},
        {kInput, 1.0f, "0.02=>1"},
        // Outside the lists: the numeric form, with the reported value's sign.
        {kOversampling, 5, "1.25=>5"}, {kChannelMode, 2, "1.50=>2"}, {kShowSettings, -1, "-1.50=>-1"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(parameterValueText(c.index, c.internal), c.text) << c.index << " " << c.internal;
}

TEST(Gains, InputAndOutput) {
    EXPECT_EQ(inputGainFor(0.0f), 0.0);
    EXPECT_EQ(inputGainFor(24.5f), 1.5);
    EXPECT_EQ(inputGainFor(49.0f), 3.0);
    EXPECT_EQ(inputGainFor(49.0f * 0.3f), 3.0 * static_cast<double>(49.0f * 0.3f / 49.0f));

    struct Entry { int index; float value; };
    const Entry entries[] = {{0, 0.47097734f}, {14, 0.98855311f}, {15, 1.0423174f}, {49, 6.3095737f}};
    for (const Entry& e : entries) EXPECT_FLOAT_EQ(outputGainTable()[e.index], e.value) << e.index;
    for (int i = 1; i < 50; ++i)
        EXPECT_NEAR(20.0 * std::log10(outputGainTable()[i] / outputGainTable()[i - 1]), 0.46, 1e-5) << i;

    EXPECT_EQ(outputGainFor(49.0f), static_cast<double>(outputGainTable()[49]) / 345.0);
    EXPECT_EQ(outputGainFor(0.0f), static_cast<double>(outputGainTable()[0]) / 345.0);
    EXPECT_EQ(outputGainFor(24.5f), static_cast<double>(outputGainTable()[24]) / 345.0);
    // Whatever reaches them, the table index stays in range.
    EXPECT_EQ(outputGainFor(-3.0f), outputGainFor(0.0f));
    EXPECT_EQ(outputGainFor(80.0f), outputGainFor(49.0f));
    EXPECT_EQ(outputGainFor(std::numeric_limits<float>::quiet_NaN()), outputGainFor(0.0f));
    EXPECT_EQ(inputGainFor(100.0f), 3.0);
}

TEST(Gains, ToneIndexIsTrebleBassMiddle) {
    EXPECT_EQ(toneIndexFor(0, 0, 0), 0u);
    EXPECT_EQ(toneIndexFor(7, 7, 7), 225u * 7 + 15 * 7 + 7);
    EXPECT_EQ(toneIndexFor(14, 14, 14), 3374u);
    EXPECT_EQ(toneIndexFor(1, 0, 0), 225u);
    EXPECT_EQ(toneIndexFor(0, 1, 0), 1u);  // middle
    EXPECT_EQ(toneIndexFor(0, 0, 1), 15u); // bass
    EXPECT_EQ(toneIndexFor(20, -1, 15), 225u * 14 + 15 * 14);
}

TEST(Parameters, OversamplingCodes) {
    const int factors[] = {1, 2, 4, 8, 16};
    for (int code = 0; code < 5; ++code) EXPECT_EQ(oversamplingFactorForCode(code), factors[code]);
    EXPECT_EQ(oversamplingFactorForCode(-1), 1);
    EXPECT_EQ(oversamplingFactorForCode(5), 1);
}

} // namespace
} // namespace torvik
