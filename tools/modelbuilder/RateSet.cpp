#include "tools/modelbuilder/RateSet.h"

#include <algorithm>

namespace torvik::builder {

std::vector<long> RateSet::runningRates() const {
    std::vector<long> rates;
    for (long r : hostRates)
        for (int f : factors) rates.push_back(r * f);
    std::sort(rates.begin(), rates.end());
    rates.erase(std::unique(rates.begin(), rates.end()), rates.end());
    return rates;
}

} // namespace torvik::builder
