// Parameter, program and state changes from control threads while the audio thread runs blocks
// the way a plug-in adapter delivers them. Run under ThreadSanitizer by the test script.
#include "ProcessorFixtures.h"

#include "processor/HostCall.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace torvik {
namespace {

using namespace fixtures;

TEST(ProcessorConcurrency, ChangesRaceTheAudioThread) {
    auto p = makeProcessor(2, 2);
    p->setParameter(kChannelMode, 0.5f);
    std::atomic<bool> controlDone{false};
    std::atomic<long> blocks{0};
    std::atomic<bool> finite{true};

    std::thread audio([&] {
        juce::AudioBuffer<float> buffer(2, 64);
        juce::MidiBuffer midi;
        long n = 0;
        while (!controlDone.load() || n < 50) {
            for (int ch = 0; ch < 2; ++ch)
                for (int j = 0; j < 64; ++j) buffer.setSample(ch, j, 0.3f * std::sin(0.01f * static_cast<float>(n * 64 + j)));
            processBlockAsHost(*p, buffer, midi);
            for (int ch = 0; ch < 2; ++ch)
                for (int j = 0; j < 64; ++j)
                    if (!std::isfinite(buffer.getSample(ch, j))) finite = false;
            ++n;
            blocks = n;
        }
    });

    // The editor's side: values and level statistics read while everything else runs.
    std::thread reader([&] {
        double sink = 0.0;
        while (!controlDone.load()) {
            for (int index = 0; index < kParameterCount; ++index) {
                sink += p->getParameter(index) + p->internalValue(index);
                sink += p->getParameterText(index).length();
            }
            sink += p->getProgramName(p->getCurrentProgram()).length();
            // the editor's glow: block 4's levels as the audio thread published them, without a lock
            BlockLevels levels;
            for (int c = 0; c < 2; ++c)
                if (p->readBlockLevels(c, levels)) sink += levels.inverseLength * levels.sum + levels.sumOfSquares;
        }
        (void)sink;
    });

    std::thread control([&] {
        for (int round = 0; round < 12; ++round) {
            for (int index = 0; index < kParameterCount; ++index)
                p->setParameter(index, static_cast<float>((round * 5 + index * 3) % 11) / 10.0f);
            p->setParameter(kTreble, 0.1f * (round % 10));
            p->setParameter(kGain, 0.05f * round);
            p->changeProgramName(round % 12, "round " + juce::String(round));
            if (round % 4 == 3) {
                juce::MemoryBlock state;
                p->getStateInformation(state);
                p->setStateInformation(state.getData(), static_cast<int>(state.getSize()));
            }
            p->setCurrentProgram(round % 3);
        }
    });
    // A second control thread, as when a host automates while the editor moves a knob.
    std::thread editor([&] {
        for (int k = 0; k < 200; ++k) p->setParameter(k % 2 == 0 ? kBass : kOutput, static_cast<float>(k % 15) / 14.0f);
    });

    control.join();
    editor.join();
    controlDone = true;
    audio.join();
    reader.join();
    EXPECT_TRUE(finite.load());
    EXPECT_GE(blocks.load(), 50);
}

} // namespace
} // namespace torvik
