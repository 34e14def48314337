// The processor's window lives in the editor library, so the processor's own sources stay free of
// the editor and its embedded images.
#include "editor/TorvikPreampEditor.h"
#include "processor/TorvikPreampAudioProcessor.h"

namespace torvik {

juce::AudioProcessorEditor* TorvikPreampAudioProcessor::createEditor() { return new TorvikPreampEditor(*this); }

} // namespace torvik
