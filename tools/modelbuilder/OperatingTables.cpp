#include "tools/modelbuilder/OperatingTables.h"

#include "model/ExactChain.h"
#include "tools/modelbuilder/Parallel.h"

#include <memory>

namespace torvik::builder {
namespace {

template <class Point>
void appendEntry(std::vector<double>& table, double rate, const Point& op) {
    table[0] += 1.0;
    table.push_back(rate);
    table.insert(table.end(), op.p.begin(), op.p.end());
    table.insert(table.end(), op.i.begin(), op.i.end());
    table.insert(table.end(), op.x.begin(), op.x.end());
}

} // namespace

OperatingTables solveOperatingTables(TubeFamily family, const std::vector<long>& rates, unsigned tonePositions,
                                     int threads) {
    OperatingTables t;
    t.block1.assign(GainPot::kPositions, {0.0});
    t.block2.assign(GainPot::kPositions, {0.0});
    t.block3 = {0.0};
    t.block4.assign(tonePositions, {0.0});

    std::vector<double> block3Rest(rates.size());
    std::vector<char> ok(rates.size() + tonePositions, 1);
    parallelFor(int(rates.size()), threads, [&](int r) {
        auto chain = std::make_unique<ExactChain>();
        chain->setTubeFamily(family);
        chain->setSampleRate(double(rates[r]));
        chain->setGainPosition(8);
        const ChainRestingPoint rest = chain->solveRestingPoint();
        block3Rest[r] = rest.b3.y;
        ok[r] = rest.converged;
    });
    for (unsigned g = 0; g < GainPot::kPositions; ++g) {
        for (std::size_t r = 0; r < rates.size(); ++r) {
            auto chain = std::make_unique<ExactChain>();
            chain->setTubeFamily(family);
            chain->setSampleRate(double(rates[r]));
            chain->setGainPosition(g);
            const ChainRestingPoint rest = chain->solveRestingPoint();
            t.converged = t.converged && rest.converged;
            appendEntry(t.block1[g], double(rates[r]), rest.b1);
            appendEntry(t.block2[g], double(rates[r]), rest.b2);
            if (g == 8) appendEntry(t.block3, double(rates[r]), rest.b3);
        }
    }
    parallelFor(int(tonePositions), threads, [&](int tone) {
        ExactBlock<Block4Circuit> b4;
        b4.setTubeFamily(family);
        b4.setPosition(unsigned(tone));
        for (std::size_t r = 0; r < rates.size(); ++r) {
            b4.setRunningRate(double(rates[r]));
            NewtonResult report;
            const auto op = b4.solveOperatingPoint(block3Rest[r], &report);
            if (!report.converged) ok[rates.size() + tone] = 0;
            appendEntry(t.block4[tone], double(rates[r]), op);
        }
    });
    for (char c : ok) t.converged = t.converged && c;
    return t;
}

} // namespace torvik::builder
