// torvik-tubecurve: input/output level curve of the preamp (exact engine) for both tube families,
// as a table for plotting: input peak (V), then output RMS (V) for fresh and for aged tubes.
//   torvik-tubecurve [--gain 0..16] [--freq HZ]
#include "model/ExactChain.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace torvik;

namespace {

double outputRms(TubeFamily family, unsigned gain, double freq, double peak) {
    const double fs = 44100.0;
    auto chain = std::make_unique<ExactChain>();
    chain->setTubeFamily(family);
    chain->setGainPosition(gain);
    chain->setTonePosition(TonePots::index(7, 7, 7));
    chain->rest();
    const int settle = int(0.1 * fs), measure = int(0.1 * fs);
    double sum = 0.0;
    for (int n = 0; n < settle + measure; ++n) {
        const double y = chain->processSample(peak * std::sin(2.0 * M_PI * freq * n / fs));
        if (n >= settle) sum += y * y;
    }
    return std::sqrt(sum / measure);
}

} // namespace

int main(int argc, char** argv) {
    unsigned gain = 8;
    double freq = 440.0;
    for (int k = 1; k + 1 < argc; k += 2) {
        if (!std::strcmp(argv[k], "--gain")) gain = unsigned(std::atoi(argv[k + 1]));
        else if (!std::strcmp(argv[k], "--freq")) freq = std::atof(argv[k + 1]);
    }
    std::printf("# input_peak_V fresh_output_rms_V aged_output_rms_V (gain %u, %.0f Hz, tone 7/7/7)\n", gain, freq);
    for (double db = -50.0; db <= 10.0; db += 2.0) {
        const double peak = std::pow(10.0, db / 20.0);
        std::printf("%.6g %.6g %.6g\n", peak, outputRms(TubeFamily::Fresh, gain, freq, peak),
                    outputRms(TubeFamily::Aged, gain, freq, peak));
    }
    return 0;
}
