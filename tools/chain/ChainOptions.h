#pragma once

#include "model/TubeFamily.h"

#include <string>
#include <vector>

namespace torvik {

enum class ChainEngine { Exact, Network };

struct ChainOptions {
    double rate = 44100.0;
    unsigned gain = 8;
    unsigned treble = 7, bass = 7, middle = 7;
    TubeFamily tubes = TubeFamily::Fresh;
    ChainEngine engine = ChainEngine::Exact;
    std::string modelFolder;
    bool help = false;
};

// Parses the command line (without the program name). Returns an empty string on success,
// otherwise a one-line reason.
std::string parseChainOptions(const std::vector<std::string>& args, ChainOptions& out);

const char* chainUsage();

} // namespace torvik
