// torvik-render: re-amps a recording through the preamp, offline.
//   torvik-render IN.wav OUT.wav [--program FILE] [--input X] [--gain X] [--treble X] [--middle X]
//                 [--bass X] [--output X] [--oversampling 1|2|4|8|16] [--stereo] [--tubes fresh|aged]
#include "tools/render/Render.h"

#include <cstdio>
#include <unistd.h>

using namespace torvik;

int main(int argc, char** argv) {
    RenderOptions options;
    const std::string problem = parseRenderOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (options.help) {
        std::fputs(renderUsage(), stdout);
        return 0;
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "torvik-render: %s\n%s", problem.c_str(), renderUsage());
        return 2;
    }

    const bool terminal = isatty(STDERR_FILENO) != 0;
    int shown = -1;
    auto progress = [&](double fraction) {
        const int percent = static_cast<int>(fraction * 100.0);
        if (!terminal || percent == shown) return;
        shown = percent;
        const int filled = percent * 30 / 100;
        std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", options.output.c_str(), filled, "##############################",
                     30 - filled, "", percent);
        std::fflush(stderr);
    };

    RenderSummary s;
    std::string error;
    const bool ok = renderFile(options, s, error, progress);
    if (terminal && shown >= 0) std::fputc('\n', stderr);
    if (!ok) {
        std::fprintf(stderr, "torvik-render: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(stderr, "%s: %.2f s, %d ch, %.0f Hz: peak %.1f dBFS, RMS %.1f dBFS, %.1fx real time\n",
                 options.output.c_str(), s.seconds, s.channels, s.sampleRate, s.peakDb, s.rmsDb,
                 s.elapsed > 0.0 ? s.seconds / s.elapsed : 0.0);
    return 0;
}
