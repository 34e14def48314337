#include "tools/modelbuilder/NetworkRestingPoints.h"

#include "model/ModelChain.h"
#include "model/ModelFileNames.h"
#include "model/PotLaws.h"
#include "tools/modelbuilder/Parallel.h"
#include "tools/modelbuilder/Progress.h"

#include <Eigen/LU>

#include <algorithm>
#include <cmath>
#include <memory>

namespace torvik::builder {
namespace {

// The gain setting whose block 2 output stands for block 3's resting input: block 2's output is
// coupled through a capacitor, so it rests within microvolts of the same value at every setting.
constexpr unsigned kReferenceGain = 8;

template <class Block>
void record(const Block& b, typename Block::Point& out) {
    for (int k = 0; k < Block::V; ++k) out.p[k] = b.p[k];
    for (int k = 0; k < Block::I; ++k) out.i[k] = b.i[k];
    for (int k = 0; k < Block::S; ++k) out.x[k] = b.x[k];
    out.y = b.y[0];
}

// Starts a block from the held point of its present position and rate, then finds by Newton's
// method the state x with step(x) = x for the input held at u. The currents of the step before
// enter a block's step (a block away from its file's rate iterates on them), so they are carried
// along until they settle too.
template <class Block>
bool settleByNewton(Block& b, double u, typename Block::Point& out) {
    constexpr int S = Block::S;
    using VecX = Eigen::Matrix<double, S, 1>;
    const auto& held = b.heldOperatingPoint();
    VecX x;
    for (int k = 0; k < S; ++k) x[k] = held.x[k];
    typename Block::VecI base;
    for (int k = 0; k < Block::I; ++k) base[k] = held.i[k];
    auto stepFrom = [&](const VecX& from) -> VecX {
        b.x = from;
        b.i = base;
        b.u[0] = u;
        b.step();
        return b.x;
    };
    for (int iteration = 0; iteration < 40; ++iteration) {
        const VecX f = stepFrom(x) - x;
        const typename Block::VecI stepped = b.i;
        const double scale = 1.0 + x.cwiseAbs().maxCoeff();
        const double currentChange = (stepped - base).cwiseAbs().maxCoeff();
        if (!f.allFinite()) return false;
        if (f.cwiseAbs().maxCoeff() <= 1e-12 * scale && currentChange <= 1e-10 * (1e-6 + stepped.cwiseAbs().maxCoeff())) {
            stepFrom(x);
            record(b, out);
            for (int k = 0; k < S; ++k) out.x[k] = x[k];
            return true;
        }
        // Difference steps in proportion to each state (some rest near zero on a tiny scale).
        Eigen::Matrix<double, S, S> J;
        for (int k = 0; k < S; ++k) {
            VecX moved = x;
            const double h = 1e-7 * (std::abs(x[k]) + 1e-6 * x.cwiseAbs().maxCoeff() + 1e-12);
            moved[k] += h;
            J.col(k) = ((stepFrom(moved) - moved) - f) / h;
        }
        const VecX full = J.partialPivLu().solve(f);
        // Halved while it makes the residual worse (a step across the edge of a network's box).
        double fraction = 1.0;
        for (int halving = 0; halving < 12; ++halving, fraction *= 0.5) {
            const VecX trial = x - fraction * full;
            if ((stepFrom(trial) - trial).cwiseAbs().maxCoeff() < f.cwiseAbs().maxCoeff()) break;
        }
        x -= fraction * full;
        base = stepped;
    }
    return false;
}

// Where Newton's method cannot go (a block with several networks resting close to the edge of
// one's box sees a step that jumps there), the block is simply run from its held point with the
// input held, for two seconds at its rate, as the plug-in would run it.
template <class Block>
bool settleByRunning(Block& b, double u, typename Block::Point& out) {
    const auto& held = b.heldOperatingPoint();
    for (int k = 0; k < Block::S; ++k) b.x[k] = held.x[k];
    for (int k = 0; k < Block::I; ++k) b.i[k] = held.i[k];
    const long steps = long(2.0 * b.sampleRate());
    for (long n = 0; n < steps; ++n) {
        b.u[0] = u;
        b.step();
    }
    const auto before = b.x;
    b.u[0] = u;
    b.step();
    record(b, out);
    const double scale = 1.0 + before.cwiseAbs().maxCoeff();
    return b.x.allFinite() && (b.x - before).cwiseAbs().maxCoeff() <= 1e-9 * scale;
}

template <class Block>
bool settle(Block& b, double u, typename Block::Point& out) {
    return settleByNewton(b, u, out) || settleByRunning(b, u, out);
}

// Overwrites the entry for `rate` in an operating-point table (rate, p, i, x per entry).
template <class Point>
void writeEntry(std::vector<double>& table, double rate, const Point& op) {
    const std::size_t entries = table.empty() ? 0 : std::size_t(table[0]);
    const std::size_t length = 1 + op.p.size() + op.i.size() + op.x.size();
    for (std::size_t e = 0; e < entries; ++e) {
        double* entry = table.data() + 1 + e * length;
        if (entry[0] != rate) continue;
        double* v = entry + 1;
        v = std::copy(op.p.begin(), op.p.end(), v);
        v = std::copy(op.i.begin(), op.i.end(), v);
        std::copy(op.x.begin(), op.x.end(), v);
        return;
    }
}

template <class Block>
bool load(Block& b, const std::string& path, std::string& problem) {
    const LoadResult r = b.loadModel(path);
    if (!r) problem = r.message;
    return bool(r);
}

template <class File>
bool read(File& f, const std::string& path, std::string& problem) {
    if (f.loadFrom(path)) return true;
    problem = "cannot read " + path;
    return false;
}

template <class File>
bool write(File& f, const std::string& path, std::string& problem) {
    if (f.saveTo(path)) return true;
    problem = "cannot write " + path;
    return false;
}

std::string describe(const char* block, unsigned position, long rate) {
    return std::string(block) + " position " + std::to_string(position) + " at " + std::to_string(rate) +
           " Hz: the network resting point did not settle";
}

} // namespace

bool settleOperatingTables(const std::string& folder, TubeFamily family, const std::vector<long>& rates, int threads,
                           std::string& problem, int& unsettled) {
    unsettled = 0;
    auto keepExact = [&](const std::string& what) {
        if (unsettled++ == 0) problem = what;
    };
    const std::string tag = tubeFamilyTag(family);
    const std::string path1 = modelFilePath(folder, family, 1), path2 = modelFilePath(folder, family, 2);
    auto b1 = std::make_unique<FastBlock1>();
    auto b2 = std::make_unique<FastBlock2>();
    PCAModelFileF f1, f2;
    if (!load(*b1, path1, problem) || !load(*b2, path2, problem) || !read(f1, path1, problem) ||
        !read(f2, path2, problem))
        return false;

    // Blocks 1 and 2 in series, every gain step and rate.
    std::vector<double> block3Input(rates.size(), 0.0);
    {
        Progress progress(tag + ": resting points 1, 2", long(GainPot::kPositions));
        for (unsigned g = 0; g < GainPot::kPositions; ++g) {
            for (std::size_t r = 0; r < rates.size(); ++r) {
                const double rate = double(rates[r]);
                FastBlock1::Point op1;
                FastBlock2::Point op2;
                b1->setSampleRate(rate);
                b1->setGainPosition(g);
                b2->setSampleRate(rate);
                b2->setGainPosition(g);
                if (settle(*b1, 0.0, op1)) writeEntry(f1.groups[0].positions[g].table, rate, op1);
                else keepExact(describe("block 1", g, rates[r]));
                if (settle(*b2, op1.y, op2)) writeEntry(f2.groups[0].positions[g].table, rate, op2);
                else keepExact(describe("block 2", g, rates[r]));
                if (g == kReferenceGain) block3Input[r] = op2.y;
            }
            progress.advance();
        }
    }
    if (!write(f1, path1, problem) || !write(f2, path2, problem)) return false;

    // Block 3, one file per rate: the entry of its own rate is the one it uses.
    std::vector<double> block4Input(rates.size(), 0.0);
    for (std::size_t r = 0; r < rates.size(); ++r) {
        const std::string path = modelFilePath(folder, family, 3, rates[r]);
        auto b3 = std::make_unique<FastBlock3>();
        PCAModelFileF f3;
        if (!load(*b3, path, problem) || !read(f3, path, problem)) return false;
        b3->setSampleRate(double(rates[r]));
        b3->applyPosition();
        FastBlock3::Point op;
        if (settle(*b3, block3Input[r], op)) {
            writeEntry(f3.groups[0].positions[0].table, double(rates[r]), op);
            if (!write(f3, path, problem)) return false;
        } else {
            keepExact(describe("block 3", 0, rates[r]));
        }
        block4Input[r] = op.y;
    }

    // Block 4, every tone setting and rate, split into one contiguous run of settings a thread.
    const std::string path4 = modelFilePath(folder, family, 4);
    ModelFileF f4;
    if (!read(f4, path4, problem)) return false;
    const unsigned tones = unsigned(f4.groups[0].positions.size());
    const int parts = std::max(1, threads);
    std::vector<std::string> problems(parts), unsettledHere(parts);
    std::vector<int> unsettledCount(parts, 0);
    {
        Progress progress(tag + ": resting points 4", long(tones));
        parallelFor(parts, parts, [&](int part) {
            auto b4 = std::make_unique<FastBlock4>();
            if (!load(*b4, path4, problems[part])) return;
            for (unsigned t = tones * part / parts; t < tones * (part + 1) / parts; ++t) {
                for (std::size_t r = 0; r < rates.size(); ++r) {
                    b4->setSampleRate(double(rates[r]));
                    b4->setTonePosition(t);
                    FastBlock4::Point op;
                    if (settle(*b4, block4Input[r], op)) {
                        writeEntry(f4.groups[0].positions[t].table, double(rates[r]), op);
                    } else if (unsettledCount[part]++ == 0) {
                        unsettledHere[part] = describe("block 4", t, rates[r]);
                    }
                }
                progress.advance();
            }
        });
    }
    for (const std::string& p : problems)
        if (!p.empty()) return problem = p, false;
    for (int part = 0; part < parts; ++part)
        if (unsettledCount[part] > 0) {
            if (unsettled == 0) problem = unsettledHere[part];
            unsettled += unsettledCount[part];
        }
    return write(f4, path4, problem);
}

} // namespace torvik::builder
