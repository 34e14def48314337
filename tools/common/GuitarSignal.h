#pragma once

#include <cstdint>
#include <vector>

namespace torvik {

// A synthetic DI guitar take: plucked single notes and strummed chords, each string a
// Karplus-Strong loop (so the partials decay like a real string's, highs first), summed,
// and scaled so the largest magnitude equals `peak` volts. Deterministic for a seed.
struct GuitarSignalOptions {
    double sampleRate = 44100.0;
    double seconds = 4.0;
    double peak = 0.5;
    std::uint32_t seed = 1;
};

std::vector<double> makeGuitarSignal(const GuitarSignalOptions& options);

} // namespace torvik
