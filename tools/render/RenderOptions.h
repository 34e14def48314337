#pragma once

#include "model/TubeFamily.h"

#include <optional>
#include <string>
#include <vector>

namespace torvik {

// torvik-render's command line. Knob values are host values 0..1, as a host would send them.
struct RenderOptions {
    std::string input, output;
    std::string programFile;  // a saved state block or a "qix" document
    std::string modelFolder;  // empty: the folder beside the executable
    std::optional<float> inputLevel, gain, treble, middle, bass, outputLevel;
    std::optional<int> oversampling;  // 1, 2, 4, 8 or 16
    std::optional<TubeFamily> tubes;
    bool stereo = false;
    int blockSize = 512;
    bool help = false;
};

// Parses the arguments (without the program name). Returns an empty string on success, otherwise
// a one-line reason.
std::string parseRenderOptions(const std::vector<std::string>& args, RenderOptions& out);

const char* renderUsage();

} // namespace torvik
