#pragma once

#include "tools/render/RenderOptions.h"

#include <functional>
#include <string>

namespace torvik {

struct RenderSummary {
    double seconds = 0.0;        // of audio
    double elapsed = 0.0;        // wall-clock seconds spent processing
    double peakDb = -999.0;      // dBFS of the output
    double rmsDb = -999.0;
    int channels = 0;
    double sampleRate = 0.0;
    int latency = 0;             // host samples removed from the start of the output
};

// Re-amps a recording through the processor, in blocks of the host size, and writes the result
// as a 32-bit float WAV of the input's length and channel count, aligned with the input (the
// oversampling latency is removed). On failure returns false with a one-line reason in `error`;
// no output file is left behind. `progress` (may be empty) hears the fraction done.
bool renderFile(const RenderOptions& options, RenderSummary& summary, std::string& error,
                const std::function<void(double)>& progress = {});

} // namespace torvik
