// Cost of one chain step (one sample through the four blocks) for each engine.
//   torvik_chain_bench                       exact engine and a network chain of synthetic files
//   TORVIK_MODELS=DIR torvik_chain_bench     also the network chain of a real model set
#include "model/ExactChain.h"
#include "model/ModelChain.h"
#include "model/ModelFileNames.h"
#include "support/ModelFixtures.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
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

void BM_NetworkChainStepModelSet(benchmark::State& state) {
    const char* dir = std::getenv("TORVIK_MODELS");
    if (!dir) {
        state.SkipWithError("set TORVIK_MODELS to a model folder to measure a real model set");
        return;
    }
    const long rate = state.range(0);
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
    if (!chain->isReady()) {
        state.SkipWithError("model files missing or refused");
        return;
    }
    // As the processor runs it: runs of 256 samples through the pipelined chain.
    constexpr int kRun = 256;
    double run[kRun];
    long n = 0;
    for (auto _ : state) {
        for (double& v : run) v = signalAt(n++);
        chain->process(run, kRun);
        benchmark::DoNotOptimize(run[kRun - 1]);
    }
    state.counters["ns_per_step"] =
        benchmark::Counter(double(state.iterations()) * kRun, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (long rate : modelSetRates())
        benchmark::RegisterBenchmark("BM_NetworkChainStepModelSet", BM_NetworkChainStepModelSet)->Arg(rate);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
