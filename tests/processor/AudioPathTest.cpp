// The audio path: channel handling of the routines, gains, block boundaries, bad samples.
#include "ProcessorFixtures.h"

#include "processor/Gains.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace torvik {
namespace {

using namespace fixtures;

const float kCodes[] = {0, 1, 2, 3, 4};  // factors 1, 2, 4, 8, 16

float signal(int channel, int j) {
    return channel == 0 ? 0.4f * std::sin(0.031f * j) : 0.25f * std::sin(0.113f * j + 1.0f) + 0.1f * std::sin(0.007f * j);
}

juce::AudioBuffer<float> makeInput(int channels, int n, int offset = 0) {
    juce::AudioBuffer<float> b(channels, n);
    for (int ch = 0; ch < channels; ++ch)
        for (int j = 0; j < n; ++j) b.setSample(ch, j, signal(ch, j + offset));
    return b;
}

void run(TorvikPreampAudioProcessor& p, juce::AudioBuffer<float>& b) {
    juce::MidiBuffer midi;
    p.processBlock(b, midi);
}

std::unique_ptr<TorvikPreampAudioProcessor> configured(int ins, int outs, float stereo, float code) {
    auto p = makeProcessor(ins, outs);
    p->setParameter(kChannelMode, hostValueFor(kChannelMode, stereo));
    p->setParameter(kOversampling, hostValueFor(kOversampling, code));
    return p;
}

bool sameChannel(const juce::AudioBuffer<float>& a, int chA, const juce::AudioBuffer<float>& b, int chB) {
    for (int j = 0; j < a.getNumSamples(); ++j)
        if (a.getSample(chA, j) != b.getSample(chB, j)) return false;
    return true;
}

// The fixture chains' outputs follow their input only below single precision; their states show
// plainly which samples went through them.
bool sameState(ModelChain& a, ModelChain& b) {
    return a.b1().x == b.b1().x && a.b2().x == b.b2().x && a.b3().x == b.b3().x && a.b4().x == b.b4().x &&
           a.b4().statistics.sum == b.b4().statistics.sum;
}

bool silent(const juce::AudioBuffer<float>& b, int ch) { return b.getMagnitude(ch, 0, b.getNumSamples()) == 0.0f; }

TEST(AudioPath, FixtureChainsRespondToTheirInput) {
    auto p = configured(2, 2, 0, 0);
    auto q = configured(2, 2, 0, 0);
    auto a = makeInput(2, 256);
    auto b = makeInput(2, 256);
    b.applyGain(0.5f);
    run(*p, a);
    run(*q, b);
    EXPECT_GT(a.getMagnitude(0, 0, 256), 0.0f);
    EXPECT_FALSE(sameState(p->chain(0), q->chain(0))) << "the tests below need chains that show their input";
}

TEST(AudioPath, MonoWithStereoInputCopiesTheProcessedLeft) {
    for (float code : kCodes) {
        auto p = configured(2, 2, 0, code);
        auto untouched = configured(2, 2, 0, code);
        auto buffer = makeInput(2, 512);
        run(*p, buffer);
        EXPECT_TRUE(sameChannel(buffer, 0, buffer, 1)) << code;
        EXPECT_TRUE(sameState(p->chain(1), untouched->chain(1))) << "chain 1 stays idle " << code;

        auto q = configured(2, 2, 0, code);
        auto otherRight = makeInput(2, 512);
        otherRight.clear(1, 0, 512);
        run(*q, otherRight);
        EXPECT_TRUE(sameChannel(buffer, 0, otherRight, 0)) << "the right input is ignored " << code;
        EXPECT_TRUE(sameState(p->chain(0), q->chain(0))) << code;
    }
}

TEST(AudioPath, StereoChannelsAreIndependent) {
    for (float code : kCodes) {
        auto p = configured(2, 2, 1, code);
        auto q = configured(2, 2, 1, code);
        ASSERT_TRUE(p->stereoRoutineSelected());
        auto a = makeInput(2, 512);
        auto b = makeInput(2, 512);
        b.copyFrom(0, 0, a, 1, 0, 512);  // b = (right of a, left of a)
        b.copyFrom(1, 0, a, 0, 0, 512);
        run(*p, a);
        run(*q, b);
        EXPECT_TRUE(sameChannel(a, 0, b, 1)) << code;
        EXPECT_TRUE(sameChannel(a, 1, b, 0)) << code;
        EXPECT_TRUE(sameState(p->chain(0), q->chain(1))) << code;
        EXPECT_TRUE(sameState(p->chain(1), q->chain(0))) << code;
        EXPECT_FALSE(sameState(p->chain(0), p->chain(1))) << code;
    }
}

TEST(AudioPath, OneInputTwoOutputsLeavesTheSecondSilent) {
    for (float stereo : {0.0f, 1.0f}) {
        auto p = configured(1, 2, stereo, 2);
        auto buffer = makeInput(2, 256);
        run(*p, buffer);
        EXPECT_FALSE(silent(buffer, 0));
        EXPECT_TRUE(silent(buffer, 1)) << stereo;
    }
}

TEST(AudioPath, BlockBoundariesDoNotMatter) {
    for (float code : kCodes)
        for (float stereo : {0.0f, 1.0f}) {
            auto p = configured(2, 2, stereo, code);
            auto q = configured(2, 2, stereo, code);
            auto whole = makeInput(2, 128);
            run(*p, whole);
            auto first = makeInput(2, 64, 0);
            auto second = makeInput(2, 64, 64);
            run(*q, first);
            run(*q, second);
            for (int ch = 0; ch < 2; ++ch)
                for (int j = 0; j < 64; ++j) {
                    ASSERT_EQ(whole.getSample(ch, j), first.getSample(ch, j)) << code << " " << ch << " " << j;
                    ASSERT_EQ(whole.getSample(ch, 64 + j), second.getSample(ch, j)) << code << " " << ch << " " << j;
                }
            EXPECT_TRUE(sameState(p->chain(0), q->chain(0))) << code;
            EXPECT_TRUE(sameState(p->chain(1), q->chain(1))) << code;
        }
}

TEST(AudioPath, ZeroLengthBlockChangesNothing) {
    auto p = configured(2, 2, 1, 1);
    auto q = configured(2, 2, 1, 1);
    juce::AudioBuffer<float> empty(2, 0);
    run(*p, empty);
    auto a = makeInput(2, 256);
    auto b = makeInput(2, 256);
    run(*p, a);
    run(*q, b);
    EXPECT_TRUE(sameChannel(a, 0, b, 0));
    EXPECT_TRUE(sameChannel(a, 1, b, 1));
    EXPECT_TRUE(sameState(p->chain(0), q->chain(0)));
}

TEST(AudioPath, InputZeroFeedsSilenceToTheChains) {
    auto p = configured(2, 2, 1, 0);
    p->setParameter(kInput, 0.0f);
    auto q = configured(2, 2, 1, 0);
    auto loud = makeInput(2, 256);
    juce::AudioBuffer<float> quiet(2, 256);
    quiet.clear();
    run(*p, loud);
    run(*q, quiet);
    EXPECT_TRUE(sameChannel(loud, 0, quiet, 0));
    EXPECT_TRUE(sameChannel(loud, 1, quiet, 1));
    EXPECT_TRUE(sameState(p->chain(0), q->chain(0)));
    EXPECT_TRUE(sameState(p->chain(1), q->chain(1)));
}

TEST(AudioPath, GainsScaleAroundTheChain) {
    // The output gain scales the chain's output, from the next sample on.
    auto p = configured(2, 2, 0, 0);
    auto q = configured(2, 2, 0, 0);
    q->setParameter(kOutput, 1.0f);
    auto a1 = makeInput(2, 128, 0), a2 = makeInput(2, 128, 128);
    auto b1 = makeInput(2, 128, 0), b2 = makeInput(2, 128, 128);
    run(*p, a1);
    run(*q, b1);
    p->setParameter(kOutput, 1.0f);
    run(*p, a2);
    run(*q, b2);
    EXPECT_TRUE(sameChannel(a2, 0, b2, 0));
    const double ratio = q->currentOutputGain() / outputGainFor(24.5f);
    for (int j = 0; j < 128; ++j)
        EXPECT_NEAR(b1.getSample(0, j), a1.getSample(0, j) * ratio, 1e-6 * std::abs(b1.getSample(0, j)) + 1e-9) << j;
}

TEST(AudioPath, NonFiniteSamplesDoNotPoisonTheOutput) {
    for (float code : kCodes) {
        auto p = configured(2, 2, 1, code);
        auto buffer = makeInput(2, 512);
        buffer.setSample(0, 10, std::numeric_limits<float>::quiet_NaN());
        buffer.setSample(1, 20, std::numeric_limits<float>::infinity());
        buffer.setSample(0, 30, -std::numeric_limits<float>::infinity());
        buffer.setSample(1, 40, 1e30f);
        run(*p, buffer);
        auto after = makeInput(2, 512, 512);
        run(*p, after);
        for (int ch = 0; ch < 2; ++ch)
            for (int j = 0; j < 512; ++j) {
                ASSERT_TRUE(std::isfinite(buffer.getSample(ch, j))) << code << " " << ch << " " << j;
                ASSERT_TRUE(std::isfinite(after.getSample(ch, j))) << code << " " << ch << " " << j;
            }
        EXPECT_FALSE(silent(after, 0)) << code;
    }
}

} // namespace
} // namespace torvik
