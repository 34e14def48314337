#pragma once

#include <vector>

namespace torvik::builder {

// The host rates and oversampling factors the model set supports, and the running rates
// (host rate x factor) they give.
struct RateSet {
    std::vector<long> hostRates;
    std::vector<int> factors;

    static RateSet full() { return {{22050, 24000, 32000, 44100, 48000, 88200, 96000, 176400, 192000}, {1, 2, 4, 8, 16}}; }
    static RateSet quick() { return {{44100, 48000}, {1, 2}}; }

    // Distinct running rates, ascending.
    std::vector<long> runningRates() const;
};

} // namespace torvik::builder
