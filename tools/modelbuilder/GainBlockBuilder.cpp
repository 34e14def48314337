#include "tools/modelbuilder/GainBlockBuilder.h"

#include "model/BlockTypes.h"
#include "model/ExactBlock.h"
#include "tools/modelbuilder/NetworkRecords.h"
#include "tools/modelbuilder/PcaPosition.h"
#include "tools/modelbuilder/PcaTraining.h"

#include <algorithm>
#include <random>

namespace torvik::builder {
namespace {

template <class Circuit>
PCAModelFileF buildWith(const char* name, TubeFamily family, const std::vector<BlockTrace<4>>& traces,
                        const std::vector<std::vector<double>>& tables, const TrainingPlan& plan,
                        std::vector<PositionReport>& reports) {
    PCAModelFileF file;
    file.allocateGroups(1);
    PCAModelGroup& group = file.groups[0];
    group.positionCount = GainPot::kPositions;
    group.tableLength = static_cast<uint32_t>(tables[0].size());
    NetworkWeights previous;
    double previousRms = 0.0;
    for (unsigned g = 0; g < GainPot::kPositions; ++g) {
        ExactBlock<Circuit> block;
        block.setTubeFamily(family);
        block.setPosition(g);
        bool reaches[4];
        currentsReaching(block, reaches);
        const PcaLayout layout = choosePcaLayout(traces[g], reaches);
        PcaSamples samples = solvePcaSamples(block, traces[g], plan, plan.seed + g);
        std::array<double, 4> restP, restI;
        if (restingPoint(tables[g], plan.rates.front(), restP, restI)) {
            block.setRunningRate(plan.rates.front());
            addRestingCloud(block, traces[g], restP, restI, int(samples.p.size() / 4), 0.05, plan.seed + 100 + g, samples);
        }
        appendRestingPoint(samples, tables[g], plan.rates.front(), int(samples.p.size() / 20));
        PositionReport report;
        report.block = name;
        report.position = g;
        // A warm start that ends clearly worse than the neighbour did is stuck in a poorer
        // minimum than the circuit's change explains: then a fresh start gets its chance too.
        TrainingPlan positionPlan = plan;
        if (previousRms > 0.0) positionPlan.restartAboveRms = std::min(plan.restartAboveRms, 1.5 * previousRms);
        const TrainedPcaNet net = trainPcaNet(layout, samples, positionPlan, previous, report);
        previous = net.weights;
        previousRms = report.rmsNormalised;
        group.positions.push_back(pcaPositionRecord(layout, {net.record}, tables[g]));
        reports.push_back(report);
    }
    return file;
}

} // namespace

PCAModelFileF buildGainBlock(int block, TubeFamily family, const std::vector<BlockTrace<4>>& traces,
                             const std::vector<std::vector<double>>& tables, const TrainingPlan& plan,
                             std::vector<PositionReport>& reports) {
    if (block == 1) return buildWith<Block1Circuit>("b1", family, traces, tables, plan, reports);
    return buildWith<Block2Circuit>("b2", family, traces, tables, plan, reports);
}

} // namespace torvik::builder
