#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace torvik {

// One block of audio as a plug-in adapter delivers it: under the processor's callback lock, and
// with the buffer cleared instead of processed while the processor is suspended. For hosts of
// our own (the offline renderer, tests, benchmarks).
inline void processBlockAsHost(juce::AudioProcessor& processor, juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) {
    const juce::ScopedLock lock(processor.getCallbackLock());
    if (processor.isSuspended()) {
        buffer.clear();
        return;
    }
    processor.processBlock(buffer, midi);
}

} // namespace torvik
