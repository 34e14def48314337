// Cost of one chain step (one sample through the four blocks) for each engine.
//   torvik_chain_bench                       exact engine and a network chain of synthetic files
//   TORVIK_MODELS=DIR torvik_chain_bench     also the network chain of a real model set at every
//                                            running rate it has files for, one chain and two
#include "model/ExactChain.h"
#include "model/ModelChain.h"
#include "model/ModelFileNames.h"
#include "support/ModelFixtures.h"

#include <benchmark/benchmark.h>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>
#include <cstdlib>
#include <memory>

using namespace torvik;

namespace {

// A guitar-like test signal: two partials with a slow decay, restarted every second.
double signalAt(long n) {
    const double t = (n % 44100) / 44100.0;
    return 0.4 * std::exp(-3.0 * t) * (std::sin(2 * M_PI * 110.0 * t) + 0.5 * std::sin(2 * M_PI * 330.0 * t));
}

void BM_ExactChainStep(benchmark::State& state) {
    auto chain = std::make_unique<ExactChain>();
    chain->setGainPosition(static_cast<unsigned>(state.range(0)));
    chain->setTonePosition(1687);
    chain->rest();
    long n = 0;
    for (auto _ : state) benchmark::DoNotOptimize(chain->processSample(signalAt(n++)));
    const NewtonStats s = chain->stats();
    state.counters["newton_iterations_per_block"] = double(s.iterations) / double(s.solves);
    state.counters["realtime_factor_44k1"] = benchmark::Counter(double(state.iterations()) / 44100.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExactChainStep)->Arg(0)->Arg(8)->Arg(16);

void runNetworkChain(benchmark::State& state, ModelChain& chain) {
    if (!chain.isReady()) {
        state.SkipWithError("model files missing or refused");
        return;
    }
    long n = 0;
    for (auto _ : state) benchmark::DoNotOptimize(chain.processSample(signalAt(n++)));
    state.counters["realtime_factor_44k1"] = benchmark::Counter(double(state.iterations()) / 44100.0, benchmark::Counter::kIsRate);
}

void BM_NetworkChainStepSynthetic(benchmark::State& state) {
    using namespace fixtures;
    const std::string dir = "/tmp/torvik_bench_models";
    std::system(("mkdir -p " + dir).c_str());
    PcaFileOptions gain;
    gain.positions = 17;
    gain.featureCount = 4;
    gain.hidden = 8;
    gain.weightSeed = 1;
    gain.tables = {opTable({{44100.0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}})};
    PCAModelFileF f1 = makePcaFile(gain), f2 = makePcaFile(gain);
    PcaFileOptions third = gain;
    third.positions = 1;
    third.netsPerPosition = 3;
    third.tables = {opTable({{44100.0, 0, 0, 0, 0, 0, 0, 0, 0, 0}})};
    PCAModelFileF f3 = makePcaFile(third);
    StdFileOptions tone;
    tone.hidden = 8;
    tone.weightSeed = 2;
    tone.tables = {opTable({{44100.0, 0, 0, 0, 0, 0, 0, 0}})};
    ModelFileF f4 = makeStdFile(tone);
    f1.saveTo(dir + "/b1");
    f2.saveTo(dir + "/b2");
    f3.saveTo(dir + "/b3");
    f4.saveTo(dir + "/b4");
    auto chain = std::make_unique<ModelChain>();
    chain->b1().loadModel(dir + "/b1");
    chain->b2().loadModel(dir + "/b2");
    chain->b3().loadModel(dir + "/b3");
    chain->b4().loadModel(dir + "/b4");
    chain->b1().setGainPosition(8);
    chain->b2().setGainPosition(8);
    chain->b3().applyPosition();
    chain->b4().setTonePosition(0);
    runNetworkChain(state, *chain);
}
BENCHMARK(BM_NetworkChainStepSynthetic);

// The running rates of the model set in TORVIK_MODELS: every rate block 3 has a file for.
std::vector<long> modelSetRates() {
    std::vector<long> rates;
    const char* dir = std::getenv("TORVIK_MODELS");
    if (!dir) return {44100};
    std::string prefix = modelFileName(TubeFamily::Fresh, 3, 0);
    prefix.resize(prefix.size() - 2);  // without ".0"
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix + ".", 0) == 0) rates.push_back(std::atol(name.c_str() + prefix.size() + 1));
    }
    std::sort(rates.begin(), rates.end());
    return rates.empty() ? std::vector<long>{44100} : rates;
}

constexpr int kRunLength = 256;

std::unique_ptr<ModelChain> modelSetChain(const std::string& dir, long rate) {
    auto chain = std::make_unique<ModelChain>();
    chain->b1().loadModel(modelFilePath(dir, TubeFamily::Fresh, 1));
    chain->b2().loadModel(modelFilePath(dir, TubeFamily::Fresh, 2));
    chain->b3().loadModel(modelFilePath(dir, TubeFamily::Fresh, 3, rate));
    chain->b4().loadModel(modelFilePath(dir, TubeFamily::Fresh, 4));
    chain->setSampleRate(double(rate));
    chain->b1().setGainPosition(8);
    chain->b2().setGainPosition(8);
    chain->b3().applyPosition();
    chain->b4().setTonePosition(1687);
    return chain;
}

// Arguments: the running rate, and 1 (one chain) or 2 (two chains interleaved, as the stereo
// routines run them). ns_per_step is per chain.
void BM_NetworkChainStepModelSet(benchmark::State& state) {
    const char* dir = std::getenv("TORVIK_MODELS");
    if (!dir) {
        state.SkipWithError("set TORVIK_MODELS to a model folder to measure a real model set");
        return;
    }
    const long rate = state.range(0);
    const bool pair = state.range(1) == 2;
    auto left = modelSetChain(dir, rate), right = modelSetChain(dir, rate);
    if (!left->isReady() || !right->isReady()) {
        state.SkipWithError("model files missing or refused");
        return;
    }
    // As the processor runs it: runs of 256 samples through the pipelined chain, from a signal
    // computed beforehand (so the figure is the chain's alone).
    constexpr int kRun = kRunLength;
    std::vector<double> signal(44100);
    for (long k = 0; k < long(signal.size()); ++k) signal[std::size_t(k)] = signalAt(k);
    double runL[kRun], runR[kRun];
    std::size_t n = 0;
    for (auto _ : state) {
        for (int k = 0; k < kRun; ++k) {
            runL[k] = signal[n];
            runR[k] = 0.9 * signal[n];
            n = n + 1 == signal.size() ? 0 : n + 1;
        }
        if (pair) ModelChain::processPair(*left, runL, *right, runR, kRun);
        else left->process(runL, kRun);
        benchmark::DoNotOptimize(runL[kRun - 1]);
        benchmark::DoNotOptimize(runR[kRun - 1]);
    }
    state.counters["ns_per_step"] = benchmark::Counter(double(state.iterations()) * kRun * (pair ? 2 : 1),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The console table, then what it says in two figures: how far the dearest running rate is from
// the cheapest (per chain step, one chain and two), and how much cheaper the network chain is than
// the exact one at gain 8.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string name = run.benchmark_name();
            const double ns = run.GetAdjustedCPUTime();
            if (name.rfind("BM_ExactChainStep/8", 0) == 0) exactNs_ = ns;
            if (name.rfind("BM_NetworkChainStepModelSet/", 0) != 0) continue;
            const bool pair = name.size() > 2 && name.compare(name.size() - 2, 2, "/2") == 0;
            const double step = ns / (kRunLength * (pair ? 2 : 1));
            auto& range = pair ? pairSteps_ : singleSteps_;
            range.first = range.first == 0 ? step : std::min(range.first, step);
            range.second = std::max(range.second, step);
            if (!pair && name.find("/44100/") != std::string::npos) network44k1Ns_ = step;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        auto line = [](const char* what, const std::pair<double, double>& r) {
            if (r.first > 0)
                std::printf("%s: cheapest %.1f ns, dearest %.1f ns per chain step, ratio %.2f\n", what, r.first, r.second,
                            r.second / r.first);
        };
        line("running rates, one chain", singleSteps_);
        line("running rates, two chains interleaved", pairSteps_);
        if (exactNs_ > 0 && network44k1Ns_ > 0)
            std::printf("exact chain / network chain at 44.1 kHz, gain 8: %.1f\n", exactNs_ / network44k1Ns_);
    }

private:
    std::pair<double, double> singleSteps_{0, 0}, pairSteps_{0, 0};
    double exactNs_ = 0, network44k1Ns_ = 0;
};

} // namespace

int main(int argc, char** argv) {
#if defined(__SSE__)
    // As on the processor's audio thread: denormals flushed to zero.
    _mm_setcsr(_mm_getcsr() | 0x8040);
#endif
    benchmark::Initialize(&argc, argv);
    for (long rate : modelSetRates())
        for (long chains : {1, 2})
            benchmark::RegisterBenchmark("BM_NetworkChainStepModelSet", BM_NetworkChainStepModelSet)->Args({rate, chains});
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
