#include "tools/render/RenderOptions.h"

#include <charconv>
#include <cmath>

namespace torvik {

namespace {

bool parseNumber(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(value);
}

} // namespace

const char* renderUsage() {
    return "usage: torvik-render IN.wav OUT.wav [--program FILE] [--input X] [--gain X] [--treble X]\n"
           "                     [--middle X] [--bass X] [--output X] [--oversampling 1|2|4|8|16]\n"
           "                     [--stereo] [--tubes fresh|aged] [--block N] [--models DIR]\n"
           "Knob values X are host values from 0 to 1. Writes a 32-bit float WAV.\n";
}

std::string parseRenderOptions(const std::vector<std::string>& args, RenderOptions& out) {
    std::vector<std::string> files;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (a == "-h" || a == "--help") {
            out.help = true;
            return {};
        }
        if (a == "--stereo") {
            out.stereo = true;
            continue;
        }
        if (a.rfind("--", 0) != 0) {
            files.push_back(a);
            continue;
        }
        if (k + 1 >= args.size()) return a + " needs a value";
        const std::string& v = args[++k];
        std::optional<float>* knob = a == "--input"    ? &out.inputLevel
                                     : a == "--gain"   ? &out.gain
                                     : a == "--treble" ? &out.treble
                                     : a == "--middle" ? &out.middle
                                     : a == "--bass"   ? &out.bass
                                     : a == "--output" ? &out.outputLevel
                                                       : nullptr;
        if (knob != nullptr) {
            double x = 0.0;
            if (!parseNumber(v, x) || x < 0.0 || x > 1.0) return a + " takes a value from 0 to 1, not '" + v + "'";
            *knob = static_cast<float>(x);
        } else if (a == "--oversampling") {
            if (v != "1" && v != "2" && v != "4" && v != "8" && v != "16")
                return "--oversampling takes 1, 2, 4, 8 or 16, not '" + v + "'";
            out.oversampling = std::stoi(v);
        } else if (a == "--tubes") {
            if (v == "fresh") out.tubes = TubeFamily::Fresh;
            else if (v == "aged") out.tubes = TubeFamily::Aged;
            else return "--tubes takes fresh or aged, not '" + v + "'";
        } else if (a == "--block") {
            double n = 0.0;
            if (!parseNumber(v, n) || n < 1.0 || n > 65536.0 || n != std::floor(n))
                return "--block takes a whole number of samples from 1 to 65536, not '" + v + "'";
            out.blockSize = static_cast<int>(n);
        } else if (a == "--program") {
            out.programFile = v;
        } else if (a == "--models") {
            out.modelFolder = v;
        } else {
            return "unknown option " + a;
        }
    }
    if (files.size() != 2) return "give one input file and one output file";
    out.input = files[0];
    out.output = files[1];
    if (out.input == out.output) return "the output file must differ from the input file";
    return {};
}

} // namespace torvik
