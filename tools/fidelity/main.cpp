// torvik-fidelity: error-to-signal ratio of the network chain of a model folder against the exact
// chain, over rates, gains, tones and drive levels. Prints a table and the median; exits 1 when a
// cell misses its target (by default -40 dB at 44.1/48 kHz without oversampling, -30 dB elsewhere)
// or the median misses --median-target, 2 on bad usage.
//   torvik-fidelity --models DIR [--family fresh|aged] [--quick] [--rates R1,R2,...] [--network-blocks 1234]
//                   [--compare-after N] [--target DB] [--other-target DB] [--median-target DB]
// --network-blocks runs only the listed blocks by their networks and solves the others exactly;
// --compare-after N compares block N's output instead of the preamp's.
#include "tools/modelbuilder/Fidelity.h"
#include "tools/modelbuilder/Parallel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace torvik;
using namespace torvik::builder;

int main(int argc, char** argv) {
    std::string folder, family = "fresh";
    bool quick = false;
    unsigned mask = 0xF;
    int after = 4;
    std::vector<double> rates;
    double mainTarget = -40.0, otherTarget = -30.0, medianTarget = INFINITY;
    auto decibels = [](const char* text, double& value) {
        char* end = nullptr;
        value = std::strtod(text, &end);
        return end != text && *end == '\0' && std::isfinite(value);
    };
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        if (a == "--models" && k + 1 < argc) folder = argv[++k];
        else if (a == "--family" && k + 1 < argc) family = argv[++k];
        else if (a == "--quick") quick = true;
        else if (a == "--compare-after" && k + 1 < argc) after = std::atoi(argv[++k]);
        else if (a == "--target" && k + 1 < argc && decibels(argv[k + 1], mainTarget)) ++k;
        else if (a == "--other-target" && k + 1 < argc && decibels(argv[k + 1], otherTarget)) ++k;
        else if (a == "--median-target" && k + 1 < argc && decibels(argv[k + 1], medianTarget)) ++k;
        else if (a == "--network-blocks" && k + 1 < argc) {
            mask = 0;
            for (const char* b = argv[++k]; *b; ++b)
                if (*b >= '1' && *b <= '4') mask |= 1u << (*b - '1');
        }
        else if (a == "--rates" && k + 1 < argc) {
            std::stringstream ss(argv[++k]);
            std::string item;
            while (std::getline(ss, item, ',')) rates.push_back(std::atof(item.c_str()));
        } else {
            std::fprintf(stderr, "usage: torvik-fidelity --models DIR [--family fresh|aged] [--quick] [--rates R,...] [--network-blocks 1234] [--compare-after N] [--target DB] [--other-target DB] [--median-target DB]\n");
            return 2;
        }
    }
    if (folder.empty()) return std::fprintf(stderr, "torvik-fidelity: --models DIR is required\n"), 2;
    const TubeFamily f = family == "aged" ? TubeFamily::Aged : TubeFamily::Fresh;

    std::vector<FidelityCase> cases;
    const double mainRates[] = {44100.0, 48000.0};
    const unsigned tones[][3] = {{0, 0, 0}, {7, 7, 7}, {14, 14, 14}};
    for (double rate : mainRates)
        for (unsigned gain : {0u, 8u, 16u})
            for (const auto& t : tones)
                for (double peak : {0.1, 0.5, 1.5}) {
                    if (quick && (t[0] != 7 || peak == 0.1)) continue;
                    cases.push_back({rate, gain, t[0], t[1], t[2], peak, quick ? 0.5 : 1.0});
                }
    for (double rate : rates) cases.push_back({rate, 8, 7, 7, 7, 0.5, rate > 200000 ? 0.1 : 0.3});
    for (FidelityCase& c : cases) c.networkBlocks = mask, c.compareAfterBlock = after;

    std::vector<FidelityResult> results(cases.size());
    parallelFor(int(cases.size()), 2, [&](int k) { results[k] = measureFidelity(folder, f, cases[k]); });

    int misses = 0;
    std::printf("%9s %4s %8s %5s %9s %s\n", "rate", "gain", "tone", "peak", "ESR dB", "target");
    for (const FidelityResult& r : results) {
        const FidelityCase& c = r.settings;
        const bool main = c.rate == 44100.0 || c.rate == 48000.0;
        const double target = main ? mainTarget : otherTarget;
        const bool ok = r.errorToSignalDb <= target;
        misses += !ok;
        std::printf("%9.0f %4u %2u,%2u,%2u %5.2f %9.1f %s%s\n", c.rate, c.gain, c.treble, c.bass, c.middle, c.peak,
                    r.errorToSignalDb, ok ? "ok" : "MISS", r.problem.empty() ? "" : ("  " + r.problem).c_str());
    }
    std::printf("%d of %zu cells miss their target\n", misses, results.size());
    std::vector<double> all;
    for (const FidelityResult& r : results) all.push_back(r.errorToSignalDb);
    std::sort(all.begin(), all.end());
    const std::size_t n = all.size();
    const double median = n == 0 ? INFINITY : (n % 2 ? all[n / 2] : 0.5 * (all[n / 2 - 1] + all[n / 2]));
    const bool medianOk = median <= medianTarget;
    std::printf("median %.1f dB%s\n", median,
                std::isfinite(medianTarget) ? (medianOk ? " (target met)" : " (MISSES its target)") : "");
    return misses || !medianOk ? 1 : 0;
}
