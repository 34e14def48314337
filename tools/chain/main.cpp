// torvik-chain: runs raw float64 volts through one channel of the preamp's four blocks.
#include "model/ExactChain.h"
#include "model/ModelChain.h"
#include "model/ModelFileNames.h"
#include "tools/chain/ChainOptions.h"

#include <chrono>
#include <climits>
#include <unistd.h>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace torvik;

namespace {

// The model folder beside this executable.
std::string defaultModelFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return n > 0 ? modelFolderFor(std::string(path, std::size_t(n))) : std::string();
}

int fail(const std::string& message) {
    std::fprintf(stderr, "torvik-chain: %s\n", message.c_str());
    return 1;
}

std::string loadNetworkChain(ModelChain& chain, const ChainOptions& o) {
    const long rate = static_cast<long>(o.rate);
    const std::string dir = o.modelFolder.empty() ? defaultModelFolder() : o.modelFolder;
    LoadResult r = chain.b1().loadModel(modelFilePath(dir, o.tubes, 1));
    if (r) r = chain.b2().loadModel(modelFilePath(dir, o.tubes, 2));
    if (r) r = chain.b3().loadModel(modelFilePath(dir, o.tubes, 3, rate));
    if (r) r = chain.b4().loadModel(modelFilePath(dir, o.tubes, 4));
    if (!r) return r.message;
    chain.setSampleRate(o.rate);
    chain.b1().setGainPosition(o.gain);
    chain.b2().setGainPosition(o.gain);
    chain.b3().applyPosition();
    chain.b4().setTonePosition(TonePots::index(o.treble, o.bass, o.middle));
    return chain.isReady() ? std::string() : "model files did not give every block a position";
}

template <class Process>
int run(Process&& process, double rate) {
    std::vector<double> buffer(4096);
    double peak = 0.0, sumSquares = 0.0;
    long samples = 0;
    const auto start = std::chrono::steady_clock::now();
    size_t got = 0;
    while ((got = std::fread(buffer.data(), sizeof(double), buffer.size(), stdin)) > 0) {
        for (size_t k = 0; k < got; ++k) {
            const double y = process(buffer[k]);
            buffer[k] = y;
            peak = std::max(peak, std::abs(y));
            sumSquares += y * y;
        }
        samples += static_cast<long>(got);
        if (std::fwrite(buffer.data(), sizeof(double), got, stdout) != got) return fail("cannot write output");
    }
    if (std::ferror(stdin)) return fail("cannot read input");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double audio = samples / rate;
    std::fprintf(stderr, "torvik-chain: %ld samples, peak %.3f V, RMS %.3f V, %.1fx real time\n", samples, peak,
                 samples ? std::sqrt(sumSquares / samples) : 0.0, seconds > 0 ? audio / seconds : 0.0);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    ChainOptions options;
    const std::string problem = parseChainOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (!problem.empty()) return fail(problem);
    if (options.help) {
        std::fputs(chainUsage(), stdout);
        return 0;
    }
    const unsigned tone = TonePots::index(options.treble, options.bass, options.middle);

    if (options.engine == ChainEngine::Exact) {
        auto chain = std::make_unique<ExactChain>();
        chain->setTubeFamily(options.tubes);
        chain->setSampleRate(options.rate);
        chain->setGainPosition(options.gain);
        chain->setTonePosition(tone);
        if (!chain->rest().converged) return fail("the resting point of the chain did not converge");
        const int rc = run([&](double v) { return chain->processSample(v); }, options.rate);
        const NewtonStats s = chain->stats();
        if (s.failures > 0)
            std::fprintf(stderr, "torvik-chain: %ld of %ld solves did not converge (worst residual %.2e)\n",
                         s.failures, s.solves, s.worstResidual);
        return rc;
    }

    auto chain = std::make_unique<ModelChain>();
    const std::string loadProblem = loadNetworkChain(*chain, options);
    if (!loadProblem.empty()) return fail(loadProblem);
    return run([&](double v) { return chain->processSample(v); }, options.rate);
}
