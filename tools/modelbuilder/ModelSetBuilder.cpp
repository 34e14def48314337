#include "tools/modelbuilder/ModelSetBuilder.h"

#include "model/ModelFileNames.h"
#include "model/PotLaws.h"
#include "tools/modelbuilder/FollowerBlockBuilder.h"
#include "tools/modelbuilder/GainBlockBuilder.h"
#include "tools/modelbuilder/NetworkRestingPoints.h"
#include "tools/modelbuilder/OperatingTables.h"
#include "tools/modelbuilder/Parallel.h"
#include "tools/modelbuilder/Progress.h"
#include "tools/modelbuilder/ToneBlockBuilder.h"
#include "tools/modelbuilder/Trajectories.h"

#include <chrono>
#include <cstdio>
#include <fstream>

namespace torvik::builder {
namespace {

// Where the trajectories come from: the rates hosts run most, and a high one, whose pre-voltage
// regions differ a little through the rate-dependent matrices.
struct TraceRun {
    double rate;
    double seconds;
    int keepEvery;
};

std::vector<TraceRun> traceRuns(bool quick) {
    if (quick) return {{44100.0, 0.2, 2}};
    return {{44100.0, 0.3, 2}, {176400.0, 0.1, 8}};
}

TrainingPlan gainPlan(int block, bool quick) {
    TrainingPlan plan;
    // One file serves every rate: its networks hold the port equations at kSharedFileRate, and
    // the block corrects their input for the port impedances of the rate it runs at.
    plan.rates = {kSharedFileRate};
    plan.rateWeights = {1};
    plan.maxTracePoints = quick ? 500 : 900;
    if (block == 1) {
        // The input valve meets the guitar's peaks unattenuated (grid current, cut-off): 24
        // neurons take its error down about tenfold where 16 stall.
        plan.hiddenSizes = {24};
        plan.fit.targetRms = 5e-5;
        plan.fit.maxIterations = quick ? 100 : 600;
    } else {
        plan.hiddenSizes = {16};
        plan.fit.targetRms = 1e-4;
        plan.fit.maxIterations = quick ? 150 : 1000;
    }
    return plan;
}

TrainingPlan followerPlan(bool quick) {
    TrainingPlan plan;
    plan.maxTracePoints = quick ? 800 : 1500;
    plan.hiddenSizes = {8, 12, 16};
    plan.fit.targetRms = 1e-4;
    plan.fit.maxIterations = quick ? 80 : 500;
    return plan;
}

TrainingPlan tonePlan(bool quick) {
    TrainingPlan plan;
    plan.rates = {kSharedFileRate};
    plan.rateWeights = {1};
    plan.maxTracePoints = quick ? 200 : 400;
    plan.hiddenSizes = {4, 6, 8};
    plan.fit.targetRms = 3e-4;
    plan.fit.maxIterations = quick ? 20 : 40;
    return plan;
}

bool save(BaseModelFileF& file, const std::string& path, FamilyReport& report) {
    if (!file.saveTo(path)) {
        std::fprintf(stderr, "torvik-modelbuilder: cannot write %s\n", path.c_str());
        return false;
    }
    report.files.push_back(path);
    return true;
}

} // namespace

bool buildFamily(TubeFamily family, const BuildSettings& s, FamilyReport& report) {
    const auto start = std::chrono::steady_clock::now();
    report.family = family;
    const std::string tag = tubeFamilyTag(family);
    const std::vector<long> rates = s.rates.runningRates();
    const unsigned tonePositions = TonePots::kPositions;

    // 1. What each block visits: the exact chain over the excitation set at every gain.
    std::vector<ChainTraces> traces(GainPot::kPositions);
    const auto runs = traceRuns(s.quick);
    {
        Progress progress(tag + ": trajectories", long(GainPot::kPositions * runs.size()));
        parallelFor(int(GainPot::kPositions), s.threads, [&](int g) {
            for (const TraceRun& run : runs) {
                traces[g].append(traceChain(family, run.rate, unsigned(g), TonePots::index(7, 7, 7),
                                            excitationSet(run.rate, run.seconds), run.keepEvery));
                progress.advance();
            }
        });
    }
    // The tone stack's own settings move the follower's cathode too: add the extreme tones.
    BlockTrace<2> toneTrace;
    BlockTrace<4> followerTrace;
    for (const auto& t : traces) {
        toneTrace.append(t.b4);
        followerTrace.append(t.b3);
    }
    for (unsigned tone : {0u, TonePots::index(14, 14, 14), TonePots::index(0, 14, 0), TonePots::index(14, 0, 14)})
        toneTrace.append(traceChain(family, 44100.0, 16, tone, excitationSet(44100.0, s.quick ? 0.15 : 0.3), 2).b4);

    // 2. Resting points of the chain at every running rate.
    const OperatingTables tables = solveOperatingTables(family, rates, tonePositions, s.threads);
    if (!tables.converged) {
        std::fprintf(stderr, "torvik-modelbuilder: a resting point did not converge\n");
        return false;
    }

    // 3. Blocks 1 and 2, one network per gain step (the two blocks side by side).
    std::vector<BlockTrace<4>> b1Traces, b2Traces;
    for (const auto& t : traces) {
        b1Traces.push_back(t.b1);
        b2Traces.push_back(t.b2);
    }
    PCAModelFileF gainFiles[2];
    std::vector<PositionReport> gainReports[2];
    {
        Progress progress(tag + ": blocks 1 and 2", 2);
        parallelFor(2, s.threads, [&](int k) {
            gainFiles[k] = buildGainBlock(k + 1, family, k == 0 ? b1Traces : b2Traces,
                                          k == 0 ? tables.block1 : tables.block2, gainPlan(k + 1, s.quick), gainReports[k]);
            progress.advance();
        });
    }
    for (int k = 0; k < 2; ++k) {
        if (!save(gainFiles[k], modelFilePath(s.outputFolder, family, k + 1), report)) return false;
        report.positions.insert(report.positions.end(), gainReports[k].begin(), gainReports[k].end());
    }

    // 4. Block 3, one file per running rate, each warm-started from the rate below: the rates in
    //    two runs (lower and upper half) so two threads share the work, the same way every time.
    {
        Progress progress(tag + ": block 3", long(rates.size()));
        std::vector<PCAModelFileF> files(rates.size());
        std::vector<PositionReport> reports(rates.size());
        const std::size_t half = (rates.size() + 1) / 2;
        parallelFor(2, s.threads, [&](int run) {
            std::vector<NetworkWeights> warm;
            const std::size_t begin = run == 0 ? 0 : half, end = run == 0 ? half : rates.size();
            for (std::size_t r = begin; r < end; ++r) {
                files[r] = buildFollowerBlock(family, double(rates[r]), followerTrace, tables.block3,
                                              followerPlan(s.quick), warm, reports[r]);
                progress.advance();
            }
        });
        for (std::size_t r = 0; r < rates.size(); ++r) {
            if (!save(files[r], modelFilePath(s.outputFolder, family, 3, rates[r]), report)) return false;
            report.positions.push_back(reports[r]);
        }
    }

    // 5. Block 4, every tone setting.
    {
        Progress progress(tag + ": block 4", long(tonePositions));
        std::vector<PositionReport> toneReports;
        ModelFileF file = buildToneBlock(family, toneTrace, tables.block4, tonePositions, tonePlan(s.quick), s.threads,
                                         toneReports, [&] { progress.advance(); });
        if (!save(file, modelFilePath(s.outputFolder, family, 4), report)) return false;
        report.positions.insert(report.positions.end(), toneReports.begin(), toneReports.end());
    }

    // 6. The resting points the plug-in starts from: the network chain's own.
    std::string problem;
    int unsettled = 0;
    if (!settleOperatingTables(s.outputFolder, family, rates, s.threads, problem, unsettled)) {
        std::fprintf(stderr, "torvik-modelbuilder: %s\n", problem.c_str());
        return false;
    }
    report.unsettledRestingPoints = unsettled;
    if (unsettled > 0)
        std::fprintf(stderr, "torvik-modelbuilder: warning: %d resting points kept the exact circuit's (%s)\n",
                     unsettled, problem.c_str());
    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return true;
}

void writeReport(const std::string& path, const FamilyReport& report) {
    std::ofstream out(path);
    out << "# resting points left at the exact circuit's (not the network chain's): " << report.unsettledRestingPoints
        << "\n# block position hidden networks features outputs rms_normalised rms_amps... max_amps...\n";
    for (const PositionReport& p : report.positions) {
        out << p.block << ' ' << p.position << ' ' << p.hidden << ' ' << p.networks << ' ' << p.features << " \""
            << p.outputs << "\" " << p.rmsNormalised;
        for (double v : p.rmsAmps) out << ' ' << v;
        for (double v : p.maxAmps) out << ' ' << v;
        out << '\n';
    }
}

} // namespace torvik::builder
