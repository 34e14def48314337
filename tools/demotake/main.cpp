// torvik-demotake: writes the bundled demo input, a synthetic DI guitar take (plucked single notes
// and strummed chords) as a mono WAV.
//   torvik-demotake OUT.wav [--seconds S] [--rate HZ] [--bits 16|24|32] [--seed N]
#include "tools/common/GuitarSignal.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace torvik;

namespace {

int usage() {
    std::fprintf(stderr, "usage: torvik-demotake OUT.wav [--seconds S] [--rate HZ] [--bits 16|24|32] [--seed N]\n");
    return 2;
}

bool number(const char* text, double low, double high, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && out >= low && out <= high;
}

} // namespace

int main(int argc, char** argv) {
    GuitarSignalOptions o;
    o.seconds = 8.0;
    o.peak = 0.5;  // a DI signal around −6 dBFS
    int bits = 24;
    std::string out;
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        double v = 0.0;
        if (a.rfind("--", 0) != 0 && out.empty()) out = a;
        else if (k + 1 >= argc) return usage();
        else if (a == "--seconds" && number(argv[++k], 0.1, 600.0, v)) o.seconds = v;
        else if (a == "--rate" && number(argv[++k], 8000.0, 384000.0, v)) o.sampleRate = v;
        else if (a == "--bits" && number(argv[++k], 16.0, 32.0, v) && (v == 16 || v == 24 || v == 32)) bits = static_cast<int>(v);
        else if (a == "--seed" && number(argv[++k], 0.0, 4294967295.0, v)) o.seed = static_cast<std::uint32_t>(v);
        else return usage();
    }
    if (out.empty()) return usage();

    const std::vector<double> take = makeGuitarSignal(o);
    juce::AudioBuffer<float> buffer(1, static_cast<int>(take.size()));
    for (std::size_t n = 0; n < take.size(); ++n) buffer.setSample(0, static_cast<int>(n), static_cast<float>(take[n]));

    const juce::File file = juce::File::getCurrentWorkingDirectory().getChildFile(juce::String(out));
    file.deleteFile();
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer;
    if (auto stream = file.createOutputStream())
        writer.reset(wav.createWriterFor(stream.release(), o.sampleRate, 1, bits, {}, 0));
    if (writer == nullptr || !writer->writeFromAudioSampleBuffer(buffer, 0, buffer.getNumSamples())) {
        std::fprintf(stderr, "torvik-demotake: cannot write %s\n", out.c_str());
        return 1;
    }
    writer.reset();
    std::fprintf(stderr, "%s: %.1f s of DI guitar, %.0f Hz, %d-bit\n", out.c_str(), o.seconds, o.sampleRate, bits);
    return 0;
}
