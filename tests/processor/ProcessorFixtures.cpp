#include "ProcessorFixtures.h"

#include "model/ModelFileNames.h"
#include "support/ModelFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <unistd.h>

namespace torvik::fixtures {

namespace {

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::vector<double> gainEntry(double rate) { return {rate, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}; }

// Networks take port voltages and give port currents: input ranges of a few hundred volts and
// output ranges of a fraction of a milliampere keep the fixture circuits at plausible voltages,
// with currents that follow the signal a little instead of sitting at a limit. The signal's
// traces are plain in block 1's states; at the output they are below single precision.
template <class File>
void setRanges(File& file, float amperes) {
    for (auto& position : file.groups[0].positions)
        for (auto& net : position.nets) {
            std::fill(net.inMin.begin(), net.inMin.end(), -400.0f);
            std::fill(net.inMax.begin(), net.inMax.end(), 400.0f);
            std::fill(net.outMin.begin(), net.outMin.end(), -amperes);
            std::fill(net.outMax.begin(), net.outMax.end(), amperes);
        }
}

void writeFamily(const std::string& folder, TubeFamily family, const std::vector<long>& hostRates) {
    const uint32_t seed = family == TubeFamily::Fresh ? 3 : 13;
    PcaFileOptions gain;
    gain.positions = 17;
    gain.featureCount = 3;
    gain.tables = {opTable({gainEntry(44100.0)})};
    gain.weightSeed = seed;
    PCAModelFileF b1 = makePcaFile(gain);
    gain.weightSeed = seed + 1;
    PCAModelFileF b2 = makePcaFile(gain);
    PcaFileOptions third;
    third.netsPerPosition = 2;
    third.weightSeed = seed + 2;
    third.tables = {opTable({{44100.0, 1, 2, 3, 4, 1e-6, 1e-3, 1e-6, 1e-3, 1e-4}})};
    PCAModelFileF b3 = makePcaFile(third);
    StdFileOptions tone;
    tone.positions = 4;
    tone.weightSeed = seed + 3;
    tone.tables = {opTable({{44100.0, 1, 2, 1e-6, 1e-3, 1e-4, 2e-4, 3e-4}})};
    ModelFileF b4 = makeStdFile(tone);
    const float amperes = family == TubeFamily::Fresh ? 1e-4f : 2e-4f;
    setRanges(b1, amperes);
    setRanges(b2, amperes);
    setRanges(b3, amperes);
    setRanges(b4, amperes);
    EXPECT_TRUE(b1.saveTo(modelFilePath(folder, family, 1)));
    EXPECT_TRUE(b2.saveTo(modelFilePath(folder, family, 2)));
    EXPECT_TRUE(b4.saveTo(modelFilePath(folder, family, 4)));
    for (long rate : hostRates)
        for (long factor : {1, 2, 4, 8, 16}) EXPECT_TRUE(b3.saveTo(modelFilePath(folder, family, 3, rate * factor)));
}

std::string chainBlock(int chain, int block) { return "c" + std::to_string(chain) + " b" + std::to_string(block); }

} // namespace

const std::string& fixtureModelFolder(const std::vector<long>& hostRates) {
    static std::map<std::vector<long>, std::string> folders;
    auto found = folders.find(hostRates);
    if (found != folders.end()) return found->second;
    std::string folder = ::testing::TempDir() + "torvik_models_" + std::to_string(getpid()) + "_" +
                         std::to_string(folders.size());
    std::filesystem::create_directories(folder);
    writeFamily(folder, TubeFamily::Fresh, hostRates);
    writeFamily(folder, TubeFamily::Aged, hostRates);
    return folders.emplace(hostRates, folder).first->second;
}

void RecordingEvents::modelLoaded(int chain, int block, const std::string& path, bool accepted) {
    log.push_back(std::string(accepted ? "load " : "refused ") + chainBlock(chain, block) + " " + fileName(path));
}
void RecordingEvents::runningRateSet(int chain, double rate) {
    log.push_back("rate c" + std::to_string(chain) + " " + std::to_string(static_cast<long>(rate)));
}
void RecordingEvents::gainPositionSet(int chain, int block, unsigned position) {
    log.push_back("gain " + chainBlock(chain, block) + " " + std::to_string(position));
}
void RecordingEvents::thirdStagePositionApplied(int chain) { log.push_back("b3 c" + std::to_string(chain)); }
void RecordingEvents::tonePositionSet(int chain, unsigned tone) {
    log.push_back("tone c" + std::to_string(chain) + " " + std::to_string(tone));
}
long RecordingEvents::count(const std::string& prefix) const {
    long n = 0;
    for (const std::string& line : log) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

std::unique_ptr<TorvikPreampAudioProcessor> makeProcessor(int ins, int outs, ProcessorEvents* events,
                                                          const std::string& folder) {
    auto p = std::make_unique<TorvikPreampAudioProcessor>(folder, events);
    p->setPlayConfigDetails(ins, outs, 44100.0, 512);
    p->setCurrentProgram(p->getCurrentProgram());  // the routine follows the channel count
    return p;
}

float hostValueFor(int index, float internal) {
    switch (index) {
    case kTubeSet:
    case kChannelMode:
    case kShowSettings: return internal - 0.5f;
    case kInput:
    case kOutput: return internal / 49.0f;
    case kGain: return (internal + 0.5f) / 16.0f;
    case kOversampling: return (internal + 0.5f) / 4.0f;
    default: return (internal + 0.5f) / 14.0f;
    }
}

} // namespace torvik::fixtures
