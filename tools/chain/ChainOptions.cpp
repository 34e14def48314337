#include "tools/chain/ChainOptions.h"

#include <cmath>
#include <cstdlib>

namespace torvik {
namespace {

bool parseNumber(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(out);
}

bool parseStep(const std::string& text, unsigned maxValue, unsigned& out) {
    double v = 0.0;
    if (!parseNumber(text, v) || v < 0.0 || v > maxValue || v != std::floor(v)) return false;
    out = static_cast<unsigned>(v);
    return true;
}

} // namespace

const char* chainUsage() {
    return "usage: torvik-chain [--rate HZ] [--gain 0..16] [--tone T,B,M] [--tubes fresh|aged]\n"
           "                    [--engine exact|network] [--models DIR]\n"
           "The network engine reads its model files from DIR, by default the folder beside this\n"
           "program named after it with \".dat\" appended.\n"
           "Reads little-endian float64 volts at the preamp input from standard input and writes\n"
           "the tone stack's output volts, one float64 per input sample, to standard output.\n";
}

std::string parseChainOptions(const std::vector<std::string>& args, ChainOptions& out) {
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string& flag = args[k];
        if (flag == "-h" || flag == "--help") {
            out.help = true;
            continue;
        }
        if (k + 1 >= args.size()) return flag + " needs a value";
        const std::string& value = args[++k];
        if (flag == "--rate") {
            if (!parseNumber(value, out.rate) || out.rate < 1000.0 || out.rate > 4e6)
                return "--rate must be a rate in Hz between 1000 and 4000000";
        } else if (flag == "--gain") {
            if (!parseStep(value, 16, out.gain)) return "--gain must be a whole number from 0 to 16";
        } else if (flag == "--tone") {
            const auto c1 = value.find(','), c2 = value.find(',', c1 == std::string::npos ? c1 : c1 + 1);
            if (c1 == std::string::npos || c2 == std::string::npos ||
                !parseStep(value.substr(0, c1), 14, out.treble) ||
                !parseStep(value.substr(c1 + 1, c2 - c1 - 1), 14, out.bass) ||
                !parseStep(value.substr(c2 + 1), 14, out.middle))
                return "--tone must be T,B,M with whole numbers from 0 to 14";
        } else if (flag == "--tubes") {
            if (value == "fresh") out.tubes = TubeFamily::Fresh;
            else if (value == "aged") out.tubes = TubeFamily::Aged;
            else return "--tubes must be fresh or aged";
        } else if (flag == "--engine") {
            if (value == "exact") out.engine = ChainEngine::Exact;
            else if (value == "network") out.engine = ChainEngine::Network;
            else return "--engine must be exact or network";
        } else if (flag == "--models") {
            out.modelFolder = value;
        } else {
            return "unknown option " + flag;
        }
    }
    return {};
}

} // namespace torvik
