#include "tools/modelbuilder/ToneBlockBuilder.h"

#include "model/BlockTypes.h"
#include "model/ExactBlock.h"
#include "tools/modelbuilder/NetworkFit.h"
#include "tools/modelbuilder/NetworkRecords.h"
#include "tools/modelbuilder/Parallel.h"
#include "tools/modelbuilder/PcaPosition.h"
#include "tools/modelbuilder/Scaling.h"

#include <random>

namespace torvik::builder {
namespace {

struct ToneCloud {
    Eigen::MatrixXd p;                       // points x 2
    std::vector<std::array<double, 2>> guess;
};

ToneCloud makeCloud(const BlockTrace<2>& trace, const TrainingPlan& plan) {
    std::array<double, 2> lo{INFINITY, INFINITY}, hi{-INFINITY, -INFINITY};
    for (const auto& p : trace.p)
        for (int j = 0; j < 2; ++j) lo[j] = std::min(lo[j], p[j]), hi[j] = std::max(hi[j], p[j]);
    std::mt19937 rng(plan.seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<std::array<double, 2>> points;
    ToneCloud cloud;
    for (int n : pickTracePoints(trace.size(), plan.maxTracePoints)) {
        points.push_back(trace.p[n]);
        cloud.guess.push_back(trace.i[n]);
        for (int c = 0; c < plan.jitteredCopies; ++c) {
            auto p = trace.p[n];
            for (int j = 0; j < 2; ++j) p[j] += plan.jitter * (hi[j] - lo[j]) * gauss(rng);
            points.push_back(p);
            cloud.guess.push_back(trace.i[n]);
        }
    }
    cloud.p.resize(points.size(), 2);
    for (std::size_t n = 0; n < points.size(); ++n) cloud.p.row(n) << points[n][0], points[n][1];
    return cloud;
}

struct ToneTarget {
    Eigen::MatrixXd inputs, currents;
};

ToneTarget solveTargets(TubeFamily family, unsigned tone, const ToneCloud& cloud, const TrainingPlan& plan,
                        const std::vector<double>& table) {
    ExactBlock<Block4Circuit> block;
    block.setTubeFamily(family);
    block.setPosition(tone);
    std::vector<std::array<double, 4>> rows;
    for (std::size_t r = 0; r < plan.rates.size(); ++r) {
        block.setRunningRate(plan.rates[r]);
        for (Eigen::Index n = 0; n < cloud.p.rows(); ++n) {
            Eigen::Vector2d p = cloud.p.row(n).transpose();
            Eigen::Vector2d i(cloud.guess[n][0], cloud.guess[n][1]);
            if (!solvePortEquations(block, p, block.K, i).converged) continue;
            for (int w = 0; w < plan.rateWeights[r]; ++w) rows.push_back({p[0], p[1], i[0], i[1]});
        }
    }
    // The resting point, weighted, so the follower's bias comes out exact.
    const std::size_t anchors = rows.size() / 20;
    for (std::size_t e = 0; e < std::size_t(table[0]); ++e) {
        const double* entry = table.data() + 1 + e * 8;
        if (entry[0] != plan.rates[0]) continue;
        for (std::size_t c = 0; c < anchors; ++c) rows.push_back({entry[1], entry[2], entry[3], entry[4]});
    }
    ToneTarget t;
    t.inputs.resize(rows.size(), 2);
    t.currents.resize(rows.size(), 2);
    for (std::size_t n = 0; n < rows.size(); ++n) {
        t.inputs.row(n) << rows[n][0], rows[n][1];
        t.currents.row(n) << rows[n][2], rows[n][3];
    }
    return t;
}

struct TrainedTone {
    NetworkWeights weights;
    ModelNet record;
    PositionReport report;
};

TrainedTone trainTone(TubeFamily family, unsigned tone, const ToneCloud& cloud, const TrainingPlan& plan,
                      const std::vector<double>& table, const NetworkWeights& warm) {
    const ToneTarget t = solveTargets(family, tone, cloud, plan, table);
    const InputScale in = InputScale::spanning(t.inputs, 0.02);
    const OutputScale out = OutputScale::unipolar(t.currents, 0.05);
    const FitData data{in.normalise(t.inputs), out.normalise(t.currents), out.floors(false)};
    const FitResult best = fitGrowing(data, plan.hiddenSizes, warm, plan.fit, plan.seed);
    TrainedTone result;
    result.weights = best.weights.roundedToFloat();
    result.record = stdNetRecord(result.weights, in, out);
    const FitError e = measureFit(result.weights, data);
    result.report.block = "b4";
    result.report.position = tone;
    result.report.hidden = result.weights.hidden();
    result.report.features = 2;
    result.report.outputs = "i0 i1";
    result.report.rmsNormalised = e.rms;
    result.report.rmsAmps = {e.rms * out.range(0), e.rms * out.range(1)};
    result.report.maxAmps = {e.max * out.range(0), e.max * out.range(1)};
    return result;
}

} // namespace

ModelFileF buildToneBlock(TubeFamily family, const BlockTrace<2>& trace, const std::vector<std::vector<double>>& tables,
                          unsigned positions, const TrainingPlan& plan, int threads,
                          std::vector<PositionReport>& reports, const std::function<void()>& tick) {
    const ToneCloud cloud = makeCloud(trace, plan);
    // One network trained from scratch at the middle setting seeds every row of positions.
    const unsigned middle = std::min(positions - 1, TonePots::index(7, 7, 7));
    const NetworkWeights seed = trainTone(family, middle, cloud, plan, tables[middle], NetworkWeights{}).weights;

    std::vector<TrainedTone> trained(positions);
    const unsigned rows = (positions + 14) / 15;  // runs of 15 middle steps, bass-major
    parallelFor(int(rows), threads, [&](int row) {
        NetworkWeights warm = seed;
        for (unsigned m = 0; m < 15; ++m) {
            const unsigned middleStep = row % 2 ? 14 - m : m;  // snake so neighbours stay close
            const unsigned tone = unsigned(row) * 15 + middleStep;
            if (tone >= positions) continue;
            trained[tone] = trainTone(family, tone, cloud, plan, tables[tone], warm);
            warm = trained[tone].weights;
            if (tick) tick();
        }
    });

    ModelFileF file;
    file.allocateGroups(1);
    ModelGroup& group = file.groups[0];
    group.inputCount = 2;
    group.outputCount = 2;
    group.positionCount = positions;
    group.tableLength = static_cast<uint32_t>(tables[0].size());
    for (unsigned t = 0; t < positions; ++t) {
        ModelPosition pos;
        pos.inputCount = 2;
        pos.outputCount = 2;
        pos.tableLength = group.tableLength;
        pos.table = tables[t];
        pos.netCount = 1;
        pos.nets.push_back(std::move(trained[t].record));
        group.positions.push_back(std::move(pos));
        reports.push_back(trained[t].report);
    }
    return file;
}

} // namespace torvik::builder
