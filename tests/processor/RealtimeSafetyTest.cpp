// The audio thread's work allocates nothing and takes no lock, at every factor and in every
// channel mode, including blocks that take a tone change and blocks while models are missing.
#include "AudioThreadProbe.h"
#include "ProcessorFixtures.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace torvik {
namespace {

using namespace fixtures;

struct Probed {
    long allocations = 0, locks = 0;
};

Probed processProbed(TorvikPreampAudioProcessor& p, juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi,
                     bool bypassed = false) {
    AudioThreadProbe probe;
    if (bypassed) p.processBlockBypassed(buffer, midi);
    else p.processBlock(buffer, midi);
    return {probe.allocations(), probe.locks()};
}

void fill(juce::AudioBuffer<float>& buffer, int offset) {
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        for (int j = 0; j < buffer.getNumSamples(); ++j) buffer.setSample(ch, j, 0.3f * std::sin(0.02f * (j + offset) + ch));
}

TEST(RealtimeSafety, ProbeSeesAllocationsAndLocks) {
    AudioThreadProbe probe;
    auto* v = new std::vector<int>(100);
    delete v;
    std::mutex m;
    m.lock();
    m.unlock();
    EXPECT_GE(probe.allocations(), 2);
    EXPECT_GE(probe.locks(), 1);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    const long before = probe.allocations();
    void* volatile raw = std::malloc(64);  // volatile: the pair must not be optimised away
    std::free(raw);
    void* volatile zeroed = std::calloc(4, 16);
    std::free(zeroed);
    EXPECT_EQ(probe.allocations(), before + 2);
#endif
}

TEST(RealtimeSafety, ProcessBlockAllocatesNothingAndTakesNoLock) {
    for (float stereo : {0.0f, 1.0f})
        for (float code : {0.0f, 1.0f, 2.0f, 3.0f, 4.0f}) {
            auto p = makeProcessor(2, 2);
            p->setParameter(kChannelMode, hostValueFor(kChannelMode, stereo));
            p->setParameter(kOversampling, hostValueFor(kOversampling, code));
            juce::AudioBuffer<float> buffer(2, 256);
            juce::MidiBuffer midi;
            for (int block = 0; block < 6; ++block) {
                fill(buffer, block * 256);
                if (block == 2) p->setParameter(kTreble, 0.9f);  // taken by the next block's first step
                if (block == 3) p->setParameter(kOutput, 0.9f);
                if (block == 4) p->setParameter(kInput, 0.1f);
                const Probed probed = processProbed(*p, buffer, midi, block == 5);
                EXPECT_EQ(probed.allocations, 0) << "stereo " << stereo << " code " << code << " block " << block;
                EXPECT_EQ(probed.locks, 0) << "stereo " << stereo << " code " << code << " block " << block;
            }
        }
}

TEST(RealtimeSafety, SilenceWithoutModelsAllocatesNothing) {
    TorvikPreampAudioProcessor p(::testing::TempDir() + "torvik_no_models_here");
    juce::AudioBuffer<float> buffer(2, 128);
    juce::MidiBuffer midi;
    fill(buffer, 0);
    const Probed probed = processProbed(p, buffer, midi);
    EXPECT_EQ(probed.allocations, 0);
    EXPECT_EQ(probed.locks, 0);
}

} // namespace
} // namespace torvik
