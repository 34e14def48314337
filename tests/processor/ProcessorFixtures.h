#pragma once

#include "processor/ProcessorEvents.h"
#include "processor/TorvikPreampAudioProcessor.h"

#include <memory>
#include <string>
#include <vector>

namespace torvik::fixtures {

// A model folder of small fixture files: both tube families (different weights, so they sound
// different), block 3 for every running rate of the given host rates at factors 1 to 16.
// Written once per process and per rate list.
const std::string& fixtureModelFolder(const std::vector<long>& hostRates = {44100, 48000});

// The reconfiguration steps of a processor as short lines: "suspend", "resume",
// "load c0 b1 torvikpre_eh_b1_pca.dat", "refused c1 b3 ...", "rate c0 88200", "gain c0 b1 8",
// "b3 c0", "tone c1 1687", "change".
struct RecordingEvents : ProcessorEvents {
    std::vector<std::string> log;

    void processingSuspended(bool s) override { log.push_back(s ? "suspend" : "resume"); }
    void modelLoaded(int chain, int block, const std::string& path, bool accepted) override;
    void runningRateSet(int chain, double rate) override;
    void gainPositionSet(int chain, int block, unsigned position) override;
    void thirdStagePositionApplied(int chain) override;
    void tonePositionSet(int chain, unsigned tone) override;
    void changeBroadcast() override { log.push_back("change"); }

    std::vector<std::string> take() { return std::exchange(log, {}); }
    long count(const std::string& prefix) const;
};

// A processor on the fixture models with `ins` inputs and `outs` outputs.
std::unique_ptr<TorvikPreampAudioProcessor> makeProcessor(int ins = 2, int outs = 2, ProcessorEvents* events = nullptr,
                                                          const std::string& folder = fixtureModelFolder());

// Host value that selects an internal value.
float hostValueFor(int index, float internal);

} // namespace torvik::fixtures
