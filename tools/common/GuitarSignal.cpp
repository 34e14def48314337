#include "tools/common/GuitarSignal.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace torvik {
namespace {

struct Pluck {
    double start;      // seconds
    double frequency;  // Hz
    double level;
};

// Adds one plucked string: a noise burst shaped by the pick position circulating in a delay
// line with a two-point average in the loop.
void addString(std::vector<double>& out, double fs, const Pluck& p, std::mt19937& rng) {
    const double periodSamples = fs / p.frequency;
    const auto delay = static_cast<std::size_t>(std::max(2.0, std::floor(periodSamples - 0.5)));
    const double frac = periodSamples - 0.5 - static_cast<double>(delay);  // first-order allpass tuning
    const double allpass = (1.0 - frac) / (1.0 + frac);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<double> line(delay);
    for (std::size_t k = 0; k < delay; ++k) {
        const double pick = std::sin(M_PI * static_cast<double>(k) / static_cast<double>(delay));  // soft pick shape
        line[k] = noise(rng) * pick;
    }
    // Loop gain per pass: the fundamental halves every 0.8 s + 220/f (lower strings ring longer).
    const double loss = std::pow(0.5, 1.0 / (p.frequency * (0.8 + 220.0 / p.frequency)));
    const auto begin = static_cast<std::size_t>(p.start * fs);
    double previous = 0.0, apState = 0.0;
    std::size_t pos = 0;
    for (std::size_t n = begin; n < out.size(); ++n) {
        const double current = line[pos];
        const double averaged = 0.5 * (current + previous) * loss;
        previous = current;
        const double tuned = allpass * averaged + apState;
        apState = averaged - allpass * tuned;
        line[pos] = tuned;
        pos = pos + 1 == delay ? 0 : pos + 1;
        out[n] += p.level * current;
    }
}

double noteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

} // namespace

std::vector<double> makeGuitarSignal(const GuitarSignalOptions& o) {
    std::vector<double> out(static_cast<std::size_t>(o.seconds * o.sampleRate), 0.0);
    std::mt19937 rng(o.seed);
    std::uniform_real_distribution<double> jitter(0.0, 1.0);

    // A phrase: single notes on the low strings, then chords (E major, A major, open G) strummed
    // low to high, then a high lick, repeating until the take is full.
    const int riff[] = {40, 43, 45, 47, 52, 50, 47, 45};
    const int chords[][6] = {{40, 47, 52, 56, 59, 64}, {45, 52, 57, 61, 64, 64}, {43, 47, 50, 55, 59, 67}};
    const int lick[] = {64, 67, 69, 71, 74, 76};
    std::vector<Pluck> plucks;
    double t = 0.01;
    while (t < o.seconds - 0.05) {
        for (int note : riff) {
            plucks.push_back({t, noteHz(note), 0.8 + 0.4 * jitter(rng)});
            t += 0.18;
        }
        for (const auto& chord : chords) {
            for (int s = 0; s < 6; ++s) plucks.push_back({t + 0.012 * s, noteHz(chord[s]), 0.5 + 0.3 * jitter(rng)});
            t += 0.55;
        }
        for (int note : lick) {
            plucks.push_back({t, noteHz(note), 0.6 + 0.3 * jitter(rng)});
            t += 0.12;
        }
    }
    for (const Pluck& p : plucks)
        if (p.start < o.seconds) addString(out, o.sampleRate, p, rng);

    double peak = 0.0;
    for (double v : out) peak = std::max(peak, std::abs(v));
    if (peak > 0.0)
        for (double& v : out) v *= o.peak / peak;
    return out;
}

} // namespace torvik
