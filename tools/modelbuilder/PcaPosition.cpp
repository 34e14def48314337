#include "tools/modelbuilder/PcaPosition.h"

#include "tools/modelbuilder/Pca.h"

#include <algorithm>
#include <cmath>

namespace torvik::builder {
namespace {

constexpr double kVaryingVolts = 1e-6;     // a candidate that moves less is a supply
constexpr double kVaryingAmps = 1e-8;      // a current that moves less is left at its operating point

} // namespace

std::vector<int32_t> PcaLayout::inputMask() const {
    std::vector<int32_t> m(4, 0);
    for (int j : inputs) m[j] = 1;
    return m;
}

std::vector<int32_t> PcaLayout::outputMask() const {
    std::vector<int32_t> m(4, 0);
    for (int j : outputs) m[j] = 1;
    return m;
}

std::string PcaLayout::outputNames() const {
    std::string s;
    for (int j : outputs) s += (s.empty() ? "i" : " i") + std::to_string(j);
    return s;
}

PcaLayout choosePcaLayout(const BlockTrace<4>& trace, const bool reaches[4]) {
    PcaLayout layout;
    for (int j = 0; j < 4; ++j) {
        double pLo = INFINITY, pHi = -INFINITY, iLo = INFINITY, iHi = -INFINITY;
        for (std::size_t n = 0; n < trace.size(); ++n) {
            pLo = std::min(pLo, trace.p[n][j]);
            pHi = std::max(pHi, trace.p[n][j]);
            iLo = std::min(iLo, trace.i[n][j]);
            iHi = std::max(iHi, trace.i[n][j]);
        }
        if (pHi - pLo > kVaryingVolts) layout.inputs.push_back(j);
        if (reaches[j] && iHi - iLo > kVaryingAmps) layout.outputs.push_back(j);
    }
    Eigen::MatrixXd candidates(trace.size(), layout.inputs.size());
    for (std::size_t n = 0; n < trace.size(); ++n)
        for (std::size_t c = 0; c < layout.inputs.size(); ++c) candidates(n, c) = trace.p[n][layout.inputs[c]];
    layout.projection = principalAxes(candidates);
    // A projection that is the identity to single precision is skipped by the plug-in, which then
    // feeds the first k candidates directly: fine only if those are the kept ones.
    bool prefix = true;
    for (std::size_t c = 0; c < layout.inputs.size(); ++c) prefix = prefix && layout.inputs[c] == int(c);
    const Eigen::MatrixXd identity = Eigen::MatrixXd::Identity(layout.projection.rows(), layout.projection.cols());
    if (!prefix && (layout.projection - identity).cwiseAbs().maxCoeff() <= 1e-6) layout.projection = -layout.projection;
    return layout;
}

std::vector<int> pickTracePoints(std::size_t traceSize, int maxPoints) {
    std::vector<int> picked;
    const double stride = std::max(1.0, double(traceSize) / double(maxPoints));
    for (double k = 0; k < double(traceSize); k += stride) picked.push_back(int(k));
    return picked;
}

} // namespace torvik::builder
