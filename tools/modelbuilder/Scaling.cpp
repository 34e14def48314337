#include "tools/modelbuilder/Scaling.h"

#include <cmath>

namespace torvik::builder {
namespace {

float down(double v) { return std::nextafter(static_cast<float>(v), -INFINITY); }
float up(double v) { return std::nextafter(static_cast<float>(v), INFINITY); }

} // namespace

InputScale InputScale::spanning(const Eigen::MatrixXd& f, double margin) {
    InputScale s;
    for (Eigen::Index c = 0; c < f.cols(); ++c) {
        const double lo = f.col(c).minCoeff(), hi = f.col(c).maxCoeff();
        const double pad = std::max(margin * (hi - lo), 1e-9 * (1.0 + std::abs(lo) + std::abs(hi)));
        s.lo.push_back(down(lo - pad));
        s.hi.push_back(up(hi + pad));
    }
    return s;
}

Eigen::MatrixXd InputScale::normalise(const Eigen::MatrixXd& f) const {
    Eigen::MatrixXd out(f.rows(), f.cols());
    for (Eigen::Index c = 0; c < f.cols(); ++c) {
        const double lo = this->lo[c], hi = this->hi[c];
        out.col(c) = (2.0 * (f.col(c).array() - lo) / (hi - lo) - 1.0).matrix();
    }
    return out;
}

namespace {
// Exact solves leave currents of an off valve at tiny values of either sign.
bool neverNegative(double lo) { return lo > -1e-12; }
} // namespace

OutputScale OutputScale::bipolar(const Eigen::MatrixXd& t, double margin) {
    OutputScale s;
    for (Eigen::Index c = 0; c < t.cols(); ++c) {
        const double lo = t.col(c).minCoeff(), hi = t.col(c).maxCoeff();
        if (neverNegative(lo)) {
            const float half = up(std::max(0.5 * hi * (1.0 + margin), 1e-7));
            s.outMin.push_back(half);
            s.outMax.push_back(2.0f * half);  // exact: outMin - (outMax - outMin) = 0
            s.zeroFloor.push_back(true);
            continue;
        }
        const double centre = 0.5 * (lo + hi);
        const double half = std::max(0.5 * (hi - lo) * (1.0 + margin), 1e-7);
        s.outMin.push_back(static_cast<float>(centre));
        s.outMax.push_back(up(double(s.outMin.back()) + half));
        s.zeroFloor.push_back(false);
    }
    return s;
}

OutputScale OutputScale::unipolar(const Eigen::MatrixXd& t, double margin) {
    OutputScale s;
    for (Eigen::Index c = 0; c < t.cols(); ++c) {
        const double lo = t.col(c).minCoeff(), hi = t.col(c).maxCoeff();
        const double pad = std::max(margin * (hi - lo), 1e-7);
        const bool zero = neverNegative(lo);
        s.outMin.push_back(zero ? 0.0f : down(lo - pad));
        s.outMax.push_back(up(hi + pad));
        s.zeroFloor.push_back(zero);
    }
    return s;
}

Eigen::VectorXd OutputScale::floors(bool bipolarDecoding) const {
    Eigen::VectorXd f(outMin.size());
    for (std::size_t o = 0; o < outMin.size(); ++o)
        f[o] = zeroFloor[o] ? (bipolarDecoding ? -1.0 : 0.0) + 1e-7 : -INFINITY;
    return f;
}

Eigen::MatrixXd OutputScale::normalise(const Eigen::MatrixXd& t) const {
    Eigen::MatrixXd out(t.rows(), t.cols());
    for (Eigen::Index c = 0; c < t.cols(); ++c)
        out.col(c) = ((t.col(c).array() - double(outMin[c])) / range(int(c))).matrix();
    return out;
}

} // namespace torvik::builder
