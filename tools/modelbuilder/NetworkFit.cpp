#include "tools/modelbuilder/NetworkFit.h"

#include <Eigen/Cholesky>

#include <cmath>
#include <random>

namespace torvik::builder {
namespace {

int parameterCount(const NetworkWeights& w) {
    return w.hidden() * (w.inputs() + 1) + w.outputs() * (w.hidden() + 1);
}

Eigen::VectorXd pack(const NetworkWeights& w) {
    Eigen::VectorXd p(parameterCount(w));
    int k = 0;
    for (int i = 0; i < w.hidden(); ++i) {
        for (int j = 0; j < w.inputs(); ++j) p[k++] = w.W1(i, j);
        p[k++] = w.b1[i];
    }
    for (int o = 0; o < w.outputs(); ++o) {
        for (int i = 0; i < w.hidden(); ++i) p[k++] = w.W2(o, i);
        p[k++] = w.b2[o];
    }
    return p;
}

void unpack(const Eigen::VectorXd& p, NetworkWeights& w) {
    int k = 0;
    for (int i = 0; i < w.hidden(); ++i) {
        for (int j = 0; j < w.inputs(); ++j) w.W1(i, j) = p[k++];
        w.b1[i] = p[k++];
    }
    for (int o = 0; o < w.outputs(); ++o) {
        for (int i = 0; i < w.hidden(); ++i) w.W2(o, i) = p[k++];
        w.b2[o] = p[k++];
    }
}

double sumSquares(const NetworkWeights& w, const FitData& d) {
    double s = 0.0;
    for (Eigen::Index r = 0; r < d.inputs.rows(); ++r) {
        const Eigen::VectorXd y = w.evaluate(d.inputs.row(r).transpose());
        for (Eigen::Index o = 0; o < y.size(); ++o) {
            const double e = d.residual(r, o, y[o]);
            s += e * e;
        }
    }
    return s;
}

// The Gauss-Newton normal equations JᵀJ and Jᵀr of the residuals, with respect to the packed
// parameters. The residuals of output o depend on the hidden layer and on o's own output weights
// only, so each output's rows form their products in a block of their own; this is where a fit
// spends its time.
void normalEquations(const NetworkWeights& w, const FitData& d, Eigen::MatrixXd& JtJ, Eigen::VectorXd& Jtr) {
    const int n = w.inputs(), h = w.hidden(), q = w.outputs();
    const Eigen::Index N = d.inputs.rows();
    const int hiddenParams = h * (n + 1), outputParams = h + 1, width = hiddenParams + outputParams;
    const int P = parameterCount(w);
    JtJ.setZero(P, P);
    Jtr.setZero(P);
    Eigen::MatrixXd s(N, h), ds(N, h);
    for (Eigen::Index row = 0; row < N; ++row) {
        const Eigen::VectorXd a = w.W1 * d.inputs.row(row).transpose() + w.b1;
        for (int i = 0; i < h; ++i) {
            const double den = 1.0 + std::abs(a[i]);
            s(row, i) = a[i] / den;
            ds(row, i) = 1.0 / (den * den);
        }
    }
    Eigen::MatrixXd A(N, width), block(width, width);
    Eigen::VectorXd r(N);
    for (int o = 0; o < q; ++o) {
        for (Eigen::Index row = 0; row < N; ++row) {
            const double y = w.W2.row(o).dot(s.row(row)) + w.b2[o];
            r[row] = d.residual(row, o, y);
            if (r[row] == 0.0 && d.floors.size() && d.targets(row, o) <= d.floors[o]) {  // below the clamp
                A.row(row).setZero();
                continue;
            }
            int k = 0;
            for (int i = 0; i < h; ++i) {
                const double g = w.W2(o, i) * ds(row, i);
                for (int j = 0; j < n; ++j) A(row, k++) = g * d.inputs(row, j);
                A(row, k++) = g;
            }
            for (int i = 0; i < h; ++i) A(row, k++) = s(row, i);
            A(row, k) = 1.0;
        }
        block.setZero();
        block.selfadjointView<Eigen::Lower>().rankUpdate(A.transpose());
        block.triangularView<Eigen::StrictlyUpper>() = block.transpose();
        const Eigen::VectorXd g = A.transpose() * r;
        const int at = hiddenParams + o * outputParams;
        JtJ.topLeftCorner(hiddenParams, hiddenParams) += block.topLeftCorner(hiddenParams, hiddenParams);
        JtJ.block(0, at, hiddenParams, outputParams) = block.topRightCorner(hiddenParams, outputParams);
        JtJ.block(at, 0, outputParams, hiddenParams) = block.bottomLeftCorner(outputParams, hiddenParams);
        JtJ.block(at, at, outputParams, outputParams) = block.bottomRightCorner(outputParams, outputParams);
        Jtr.head(hiddenParams) += g.head(hiddenParams);
        Jtr.segment(at, outputParams) = g.tail(outputParams);
    }
}

} // namespace

NetworkWeights NetworkWeights::random(int n, int h, int q, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0.0, 1.0);
    NetworkWeights w;
    w.W1.resize(h, n);
    w.b1.resize(h);
    w.W2.resize(q, h);
    w.b2.resize(q);
    for (int i = 0; i < h; ++i) {
        for (int j = 0; j < n; ++j) w.W1(i, j) = g(rng) * 1.5 / std::sqrt(double(n));
        w.b1[i] = g(rng);
    }
    for (int o = 0; o < q; ++o) {
        for (int i = 0; i < h; ++i) w.W2(o, i) = g(rng) * 0.5 / std::sqrt(double(h));
        w.b2[o] = 0.0;
    }
    return w;
}

NetworkWeights NetworkWeights::grown(int h, std::uint32_t seed) const {
    NetworkWeights extra = random(inputs(), h, outputs(), seed);
    const int keep = std::min(h, hidden());
    extra.W1.topRows(keep) = W1.topRows(keep);
    extra.b1.head(keep) = b1.head(keep);
    extra.W2.leftCols(keep) = W2.leftCols(keep);
    extra.W2.rightCols(h - keep) *= 0.01;
    extra.b2 = b2;
    return extra;
}

Eigen::VectorXd NetworkWeights::evaluate(const Eigen::VectorXd& x) const {
    Eigen::VectorXd a = W1 * x + b1;
    for (Eigen::Index i = 0; i < a.size(); ++i) a[i] = a[i] / (1.0 + std::abs(a[i]));
    return W2 * a + b2;
}

NetworkWeights NetworkWeights::roundedToFloat() const {
    NetworkWeights w = *this;
    auto round = [](Eigen::MatrixXd& m) { m = m.cast<float>().cast<double>(); };
    round(w.W1);
    round(w.W2);
    w.b1 = w.b1.cast<float>().cast<double>();
    w.b2 = w.b2.cast<float>().cast<double>();
    return w;
}

FitError measureFit(const NetworkWeights& w, const FitData& d) {
    FitError e;
    double sum = 0.0;
    for (Eigen::Index r = 0; r < d.inputs.rows(); ++r) {
        const Eigen::VectorXd y = w.evaluate(d.inputs.row(r).transpose());
        for (Eigen::Index o = 0; o < y.size(); ++o) {
            const double diff = d.residual(r, o, y[o]);
            sum += diff * diff;
            e.max = std::max(e.max, std::abs(diff));
        }
    }
    e.rms = std::sqrt(sum / double(d.targets.size()));
    return e;
}

FitResult fitNetwork(const FitData& data, NetworkWeights start, const FitOptions& options) {
    FitResult result;
    NetworkWeights& w = start;
    const double count = double(data.targets.size());
    double cost = sumSquares(w, data);
    double lambda = 1e-3;
    Eigen::MatrixXd JtJ;
    Eigen::VectorXd g;
    int it = 0;
    for (; it < options.maxIterations && std::sqrt(cost / count) > options.targetRms; ++it) {
        normalEquations(w, data, JtJ, g);
        const Eigen::VectorXd p = pack(w);
        bool improved = false;
        for (int attempt = 0; attempt < 12 && !improved; ++attempt) {
            Eigen::MatrixXd A = JtJ;
            A.diagonal() += lambda * (JtJ.diagonal().array() + 1e-9).matrix();
            const Eigen::VectorXd step = A.ldlt().solve(-g);
            NetworkWeights trial = w;
            unpack(p + step, trial);
            const double trialCost = sumSquares(trial, data);
            if (std::isfinite(trialCost) && trialCost < cost) {
                w = trial;
                improved = cost - trialCost > 1e-12 * cost;
                cost = trialCost;
                lambda = std::max(lambda / 3.0, 1e-12);
                if (!improved) break;
            } else {
                lambda *= 4.0;
            }
        }
        if (!improved) break;
    }
    result.weights = w;
    result.error = measureFit(w, data);
    result.iterations = it;
    return result;
}

} // namespace torvik::builder

namespace torvik::builder {

FitResult fitGrowing(const FitData& data, const std::vector<int>& hiddenSizes, const NetworkWeights& warm,
                     const FitOptions& options, std::uint32_t seed) {
    const int n = int(data.inputs.cols()), q = int(data.targets.cols());
    FitResult best;
    bool haveBest = false;
    const bool warmFits = warm.hidden() > 0 && warm.inputs() == n && warm.outputs() == q;
    for (int h : hiddenSizes) {
        if (warmFits && h < warm.hidden()) continue;
        const NetworkWeights start = warmFits && h == warm.hidden() ? warm
                                     : haveBest                     ? best.weights.grown(h, seed + h)
                                                                    : NetworkWeights::random(n, h, q, seed + h);
        FitResult fit = fitNetwork(data, start, options);
        const bool worthIt = !haveBest || fit.error.rms < 0.8 * best.error.rms;
        if (!haveBest || fit.error.rms < best.error.rms) best = fit, haveBest = true;
        if (best.error.rms <= options.targetRms || !worthIt) break;
    }
    return best;
}

} // namespace torvik::builder
