#include "tools/modelbuilder/FollowerBlockBuilder.h"

#include "model/BlockTypes.h"
#include "tools/modelbuilder/PcaTraining.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace torvik::builder {
namespace {

// Box edges on the first feature at its quantiles, except that none lies within 5 % of the
// feature's span of the resting point: networks of neighbouring boxes differ a little at their
// common edge, and a block resting on one would switch between them for ever.
std::vector<double> boxEdges(const std::vector<double>& sortedFeature, std::size_t boxes, double rest) {
    std::vector<double> edges;
    const double margin = 0.05 * (sortedFeature.back() - sortedFeature.front());
    for (std::size_t b = 1; b < boxes; ++b) {
        double edge = sortedFeature[sortedFeature.size() * b / boxes];
        if (std::abs(edge - rest) < margin) edge = edge < rest ? rest - margin : rest + margin;
        edges.push_back(edge);
    }
    std::sort(edges.begin(), edges.end());
    return edges;
}

} // namespace

PCAModelFileF buildFollowerBlock(TubeFamily family, double rate, const BlockTrace<4>& trace,
                                 const std::vector<double>& table, const TrainingPlan& basePlan,
                                 std::vector<NetworkWeights>& warm, PositionReport& report) {
    ExactBlock<Block3Circuit> block;
    block.setTubeFamily(family);
    block.setRunningRate(rate);
    bool reaches[4];
    currentsReaching(block, reaches);
    const PcaLayout layout = choosePcaLayout(trace, reaches);

    TrainingPlan plan = basePlan;
    plan.rates = {rate};
    plan.rateWeights = {1};
    PcaSamples samples = solvePcaSamples(block, trace, plan, plan.seed);
    appendRestingPoint(samples, table, rate, int(samples.p.size() / 20));
    std::vector<double> feature0 = [&] {
        const Eigen::MatrixXd f = pcaFeatures(layout, samples);
        return std::vector<double>(f.col(0).data(), f.col(0).data() + f.rows());
    }();
    std::sort(feature0.begin(), feature0.end());
    // Where the block rests, on the first feature: no box edge may lie there.
    double restFeature = NAN;
    {
        PcaSamples rest;
        appendRestingPoint(rest, table, rate, 1);
        if (!rest.p.empty()) restFeature = pcaFeatures(layout, rest)(0, 0);
    }

    std::vector<PCAModelNet> best;
    std::vector<NetworkWeights> bestWeights;
    double bestRms = INFINITY;
    const std::size_t maxBoxes = 4;
    for (std::size_t boxes = std::max<std::size_t>(1, warm.size()); boxes <= maxBoxes; ++boxes) {
        std::vector<PCAModelNet> nets;
        std::vector<NetworkWeights> weights;
        double worst = 0.0;
        PositionReport worstReport;
        const std::vector<double> edges = boxEdges(feature0, boxes, restFeature);
        for (std::size_t b = 0; b < boxes; ++b) {
            std::vector<float> lo(1, -FLT_MAX), hi(1, FLT_MAX);
            if (b > 0) lo[0] = static_cast<float>(edges[b - 1]);
            if (b + 1 < boxes) hi[0] = static_cast<float>(edges[b]);
            PositionReport r;
            const NetworkWeights start = warm.size() == boxes ? warm[b] : NetworkWeights{};
            TrainedPcaNet net = trainPcaNet(layout, samples, plan, start, r, lo, hi);
            if (r.rmsNormalised >= worst) worst = r.rmsNormalised, worstReport = r;
            nets.push_back(std::move(net.record));
            weights.push_back(net.weights);
        }
        if (worst < bestRms) {
            bestRms = worst, best = std::move(nets), bestWeights = std::move(weights);
            report = worstReport;
        }
        if (bestRms <= plan.fit.targetRms) break;
    }
    report.block = "b3";
    report.position = static_cast<unsigned>(rate);
    report.networks = int(best.size());
    warm = bestWeights;

    PCAModelFileF file;
    file.allocateGroups(1);
    file.groups[0].positionCount = 1;
    file.groups[0].tableLength = static_cast<uint32_t>(table.size());
    file.groups[0].positions.push_back(pcaPositionRecord(layout, std::move(best), table));
    return file;
}

} // namespace torvik::builder
