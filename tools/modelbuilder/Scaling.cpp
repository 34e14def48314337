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

OutputScale OutputScale::bipolar(const Eigen::MatrixXd& t, double margin) {
    OutputScale s;
    for (Eigen::Index c = 0; c < t.cols(); ++c) {
        const double lo = t.col(c).minCoeff(), hi = t.col(c).maxCoeff();
        const double centre = 0.5 * (lo + hi);
        const double half = std::max(0.5 * (hi - lo) * (1.0 + margin), 1e-7);
        s.outMin.push_back(static_cast<float>(centre));
        s.outMax.push_back(up(double(s.outMin.back()) + half));
    }
    return s;
}

OutputScale OutputScale::unipolar(const Eigen::MatrixXd& t, double margin) {
    OutputScale s;
    for (Eigen::Index c = 0; c < t.cols(); ++c) {
        const double lo = t.col(c).minCoeff(), hi = t.col(c).maxCoeff();
        const double pad = std::max(margin * (hi - lo), 1e-7);
        s.outMin.push_back(down(lo - pad));
        s.outMax.push_back(up(hi + pad));
    }
    return s;
}

Eigen::MatrixXd OutputScale::normalise(const Eigen::MatrixXd& t) const {
    Eigen::MatrixXd out(t.rows(), t.cols());
    for (Eigen::Index c = 0; c < t.cols(); ++c)
        out.col(c) = ((t.col(c).array() - double(outMin[c])) / range(int(c))).matrix();
    return out;
}

} // namespace torvik::builder
