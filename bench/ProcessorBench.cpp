// The processor as a host runs it: real-time factor for mono and stereo at every oversampling
// factor at 48 kHz, in blocks of 512, and the cost of constructing a processor (every model file
// of both chains loaded, filters built).
//   torvik_processor_bench                     the model set beside this binary
//   TORVIK_MODELS=DIR torvik_processor_bench   another model set
#include "processor/HostCall.h"
#include "processor/ModelLocation.h"
#include "processor/TorvikPreampAudioProcessor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace torvik;

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;

std::string modelFolder() {
    const char* dir = std::getenv("TORVIK_MODELS");
    return dir != nullptr ? std::string(dir) : defaultModelFolder();
}

// Guitar-like: two decaying partials restarted every second.
void fillBlock(juce::AudioBuffer<float>& buffer, long& n) {
    for (int j = 0; j < kBlock; ++j, ++n) {
        const double t = static_cast<double>(n % 48000) / kRate;
        const double v = 0.4 * std::exp(-3.0 * t) * (std::sin(2 * M_PI * 110.0 * t) + 0.5 * std::sin(2 * M_PI * 330.0 * t));
        for (int ch = 0; ch < buffer.getNumChannels(); ++ch) buffer.setSample(ch, j, static_cast<float>(v));
    }
}

void BM_ProcessBlock(benchmark::State& state) {
    const bool stereo = state.range(0) != 0;
    const int code = static_cast<int>(state.range(1));
    TorvikPreampAudioProcessor p(modelFolder());
    p.setPlayConfigDetails(2, 2, kRate, kBlock);
    p.prepareToPlay(kRate, kBlock);
    p.setCurrentProgram(0);
    p.setParameter(kChannelMode, stereo ? 0.5f : -0.5f);
    p.setParameter(kOversampling, 0.25f * static_cast<float>(code));
    if (!p.modelsReady()) {
        state.SkipWithError(("model files missing at 48 kHz x" + std::to_string(p.currentOversamplingFactor())).c_str());
        return;
    }
    juce::AudioBuffer<float> buffer(2, kBlock);
    juce::MidiBuffer midi;
    long n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fillBlock(buffer, n);
        state.ResumeTiming();
        processBlockAsHost(p, buffer, midi);
        benchmark::DoNotOptimize(buffer.getReadPointer(0));
    }
    state.SetLabel(std::string(stereo ? "stereo" : "mono") + " x" + std::to_string(p.currentOversamplingFactor()));
    state.counters["realtime_factor"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessBlock)
    ->ArgsProduct({{0, 1}, {0, 1, 2, 3, 4}})
    ->ArgNames({"stereo", "code"})
    ->Unit(benchmark::kMicrosecond);

void BM_Construction(benchmark::State& state) {
    const std::string folder = modelFolder();
    bool ready = true;
    for (auto _ : state) {
        auto p = std::make_unique<TorvikPreampAudioProcessor>(folder);
        ready = ready && p->modelsReady();
        benchmark::DoNotOptimize(p.get());
    }
    if (!ready) state.SetLabel("model files missing: timing of failed loads");
}
BENCHMARK(BM_Construction)->Unit(benchmark::kMillisecond);

// Resident memory of the process, from the kernel's own accounting.
double residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

// What one more instance adds to resident memory, with every model file of the current program
// loaded for both channels and the filters of every factor (averaged over eight instances, so
// the allocator's own slack counts once).
void BM_InstanceMemory(benchmark::State& state) {
    const std::string folder = modelFolder();
    constexpr int kInstances = 8;
    double perInstance = 0.0;
    for (auto _ : state) {
        const double before = residentBytes();
        std::vector<std::unique_ptr<TorvikPreampAudioProcessor>> instances;
        for (int k = 0; k < kInstances; ++k) instances.push_back(std::make_unique<TorvikPreampAudioProcessor>(folder));
        perInstance = (residentBytes() - before) / kInstances;
        benchmark::DoNotOptimize(instances.data());
    }
    state.counters["resident_MiB_per_instance"] = perInstance / (1024.0 * 1024.0);
}
BENCHMARK(BM_InstanceMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
