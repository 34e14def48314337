#pragma once

#include "model/TubeFamily.h"

#include <string>
#include <vector>

namespace torvik::builder {

// Error-to-signal ratio of the network chain (from a model folder) against the exact chain, same
// input and settings, both starting at rest.
struct FidelityCase {
    double rate = 44100.0;
    unsigned gain = 8;
    unsigned treble = 7, bass = 7, middle = 7;
    double peak = 0.5;      // volts at block 1's input
    double seconds = 1.0;
    // Blocks run by their networks (bit k-1 for block k); the others are solved exactly. All four
    // by default: the product's chain. One bit alone shows that block's share of the error.
    unsigned networkBlocks = 0xF;
    // The output compared: block 4's (the preamp's) by default, or an earlier block's.
    int compareAfterBlock = 4;
};

struct FidelityResult {
    FidelityCase settings;
    double errorToSignalDb = 0.0;   // +inf when the network chain could not be loaded
    std::string problem;
};

FidelityResult measureFidelity(const std::string& modelFolder, TubeFamily family, const FidelityCase& c);

} // namespace torvik::builder
