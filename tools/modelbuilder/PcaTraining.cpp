#include "tools/modelbuilder/PcaTraining.h"

#include "tools/modelbuilder/NetworkRecords.h"

#include <cfloat>

namespace torvik::builder {

Eigen::MatrixXd pcaFeatures(const PcaLayout& layout, const PcaSamples& samples) {
    const Eigen::Index m = Eigen::Index(layout.inputs.size());
    Eigen::MatrixXd candidates(samples.p.size(), m);
    for (std::size_t n = 0; n < samples.p.size(); ++n)
        for (Eigen::Index c = 0; c < m; ++c) candidates(n, c) = samples.p[n][layout.inputs[c]];
    // The plug-in projects with the stored (double) matrix; so does training.
    return candidates * layout.projection.transpose();
}

TrainedPcaNet trainPcaNet(const PcaLayout& layout, const PcaSamples& samples, const TrainingPlan& plan,
                          const NetworkWeights& warm, PositionReport& report, const std::vector<float>& boxLow,
                          const std::vector<float>& boxHigh) {
    const Eigen::MatrixXd allFeatures = pcaFeatures(layout, samples);
    // A boxed network also sees a little of its neighbours' ground, so it holds up at the edges.
    const double overlap = 0.03 * (allFeatures.col(0).maxCoeff() - allFeatures.col(0).minCoeff());
    std::vector<Eigen::Index> rows;
    for (Eigen::Index n = 0; n < allFeatures.rows(); ++n) {
        const double f = allFeatures(n, 0);
        if (!boxLow.empty() && !(f >= double(boxLow[0]) - overlap && f < double(boxHigh[0]) + overlap)) continue;
        rows.push_back(n);
    }
    const Eigen::Index q = Eigen::Index(layout.outputs.size());
    Eigen::MatrixXd features(rows.size(), allFeatures.cols()), currents(rows.size(), q);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        features.row(r) = allFeatures.row(rows[r]);
        for (Eigen::Index o = 0; o < q; ++o) currents(r, o) = samples.i[rows[r]][layout.outputs[o]];
    }
    const InputScale in = InputScale::spanning(features, 0.02);
    const OutputScale out = OutputScale::bipolar(currents, 0.1);
    FitData data{in.normalise(features), out.normalise(currents), out.floors(true)};

    const int n = int(features.cols());
    FitResult best = fitGrowing(data, plan.hiddenSizes, warm, plan.fit, plan.seed);
    // A neighbour's network can be a poor start where the circuit changes shape (a pot section
    // reaching 0 ohm): then start afresh too and keep the better.
    if (warm.hidden() > 0 && best.error.rms > plan.restartAboveRms) {
        FitResult fresh = fitGrowing(data, plan.hiddenSizes, NetworkWeights{}, plan.fit, plan.seed + 7);
        if (fresh.error.rms < best.error.rms) best = fresh;
    }

    TrainedPcaNet result;
    result.weights = best.weights.roundedToFloat();
    const std::vector<float> low = boxLow.empty() ? std::vector<float>(n, -FLT_MAX) : boxLow;
    const std::vector<float> high = boxHigh.empty() ? std::vector<float>(n, FLT_MAX) : boxHigh;
    result.record = pcaNetRecord(result.weights, in, out, low, high);

    const FitError e = measureFit(result.weights, data);
    report.hidden = result.weights.hidden();
    report.features = n;
    report.outputs = layout.outputNames();
    report.rmsNormalised = e.rms;
    report.rmsAmps.assign(q, 0.0);
    report.maxAmps.assign(q, 0.0);
    for (Eigen::Index r = 0; r < data.inputs.rows(); ++r) {
        const Eigen::VectorXd y = result.weights.evaluate(data.inputs.row(r).transpose());
        for (Eigen::Index o = 0; o < q; ++o) {
            const double err = std::abs(data.residual(r, o, y[o])) * out.range(int(o));
            report.rmsAmps[o] += err * err;
            report.maxAmps[o] = std::max(report.maxAmps[o], err);
        }
    }
    for (auto& v : report.rmsAmps) v = std::sqrt(v / std::max<double>(1.0, double(data.inputs.rows())));
    return result;
}

bool restingPoint(const std::vector<double>& table, double rate, std::array<double, 4>& p, std::array<double, 4>& i) {
    const std::size_t entries = std::size_t(table[0]);
    if (entries == 0) return false;
    const std::size_t entryLength = (table.size() - 1) / entries;  // rate, p, i, x
    for (std::size_t e = 0; e < entries; ++e) {
        const double* entry = table.data() + 1 + e * entryLength;
        if (entry[0] != rate) continue;
        for (int j = 0; j < 4; ++j) p[j] = entry[1 + j], i[j] = entry[5 + j];
        return true;
    }
    return false;
}

void appendRestingPoint(PcaSamples& samples, const std::vector<double>& table, double rate, int copies) {
    std::array<double, 4> p, i;
    if (!restingPoint(table, rate, p, i)) return;
    for (int c = 0; c < copies; ++c) samples.p.push_back(p), samples.i.push_back(i);
}

PCAModelPosition pcaPositionRecord(const PcaLayout& layout, std::vector<PCAModelNet> nets,
                                   const std::vector<double>& table) {
    PCAModelPosition p;
    p.inputMask = layout.inputMask();
    p.outputMask = layout.outputMask();
    p.inputMaskLength = 4;
    p.outputMaskLength = 4;
    const Eigen::Index k = layout.projection.rows(), m = layout.projection.cols();
    p.candidateCount = static_cast<uint32_t>(m);
    p.featureCount = static_cast<uint32_t>(k);
    p.netOutputCount = kPcaOutputs;
    p.secondWidth = 0;
    p.projection.resize(static_cast<std::size_t>(k * m));
    for (Eigen::Index i = 0; i < k; ++i)
        for (Eigen::Index j = 0; j < m; ++j) p.projection[static_cast<std::size_t>(j * k + i)] = layout.projection(i, j);
    p.tableLength = static_cast<uint32_t>(table.size());
    p.table = table;
    p.netCount = static_cast<uint32_t>(nets.size());
    p.nets = std::move(nets);
    return p;
}

} // namespace torvik::builder
