// The one processor every format's wrapper creates. It reads its model data from the folder
// beside the binary it was loaded from (the format's shared object, or the standalone executable).
#include "processor/TorvikPreampAudioProcessor.h"

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter() { return new torvik::TorvikPreampAudioProcessor(); }
