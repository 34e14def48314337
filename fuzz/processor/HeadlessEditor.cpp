// The state fuzzer drives the processor without a window: no editor is ever asked for.
#include "processor/TorvikPreampAudioProcessor.h"

namespace torvik {

juce::AudioProcessorEditor* TorvikPreampAudioProcessor::createEditor() { return nullptr; }

} // namespace torvik
