// torvik-testtone: writes a sine as raw little-endian float64 samples to standard output.
// usage: torvik-testtone [--freq HZ] [--amp VOLTS] [--seconds S] [--rate HZ]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    double freq = 110.0, amp = 0.5, seconds = 1.0, rate = 44100.0;
    for (int k = 1; k + 1 < argc; k += 2) {
        const double v = std::atof(argv[k + 1]);
        if (!std::strcmp(argv[k], "--freq")) freq = v;
        else if (!std::strcmp(argv[k], "--amp")) amp = v;
        else if (!std::strcmp(argv[k], "--seconds")) seconds = v;
        else if (!std::strcmp(argv[k], "--rate")) rate = v;
        else {
            std::fprintf(stderr, "torvik-testtone: unknown option %s\n", argv[k]);
            return 1;
        }
    }
    if (!(rate > 0) || !(seconds >= 0) || seconds * rate > 1e9) {
        std::fprintf(stderr, "torvik-testtone: bad rate or length\n");
        return 1;
    }
    const long n = std::lround(seconds * rate);
    std::vector<double> out(static_cast<size_t>(n));
    for (long k = 0; k < n; ++k) out[k] = amp * std::sin(2.0 * M_PI * freq * k / rate);
    return std::fwrite(out.data(), sizeof(double), out.size(), stdout) == out.size() ? 0 : 1;
}
