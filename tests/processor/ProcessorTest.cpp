// The processor core: construction, parameters, programs, routine selection, model loading and
// the reconfiguration each change makes.
#include "ProcessorFixtures.h"

#include "processor/Gains.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

namespace torvik {
namespace {

using namespace fixtures;
using Log = std::vector<std::string>;

constexpr unsigned kDefaultTone = 225 * 7 + 15 * 7 + 7;

Log reapplyLog(const std::string& tag, long rate, unsigned gain, unsigned tone) {
    const std::string f = "torvikpre_" + tag + "_b";
    const std::string r = std::to_string(rate), g = std::to_string(gain), t = std::to_string(tone);
    return {"suspend",
            "load c0 b1 " + f + "1_pca.dat", "load c0 b2 " + f + "2_pca.dat", "load c0 b4 " + f + "4_std.dat",
            "load c1 b1 " + f + "1_pca.dat", "load c1 b2 " + f + "2_pca.dat", "load c1 b4 " + f + "4_std.dat",
            "load c0 b3 " + f + "3_pca.dat." + r, "load c1 b3 " + f + "3_pca.dat." + r,
            "rate c0 " + r, "rate c1 " + r,
            "gain c0 b1 " + g, "gain c0 b2 " + g, "b3 c0", "tone c0 " + t,
            "gain c1 b1 " + g, "gain c1 b2 " + g, "b3 c1", "tone c1 " + t,
            "resume"};
}

Log withChange(Log log) {
    log.push_back("change");
    return log;
}

TEST(Processor, ConstructionAppliesProgramZeroOfTheDefaultBank) {
    RecordingEvents events;
    TorvikPreampAudioProcessor p(fixtureModelFolder(), &events);
    EXPECT_EQ(events.log, withChange(reapplyLog("eh", 44100, 8, kDefaultTone)));
    EXPECT_EQ(p.getCurrentProgram(), 0);
    EXPECT_TRUE(p.modelsReady());
    EXPECT_TRUE(p.modelProblems().empty());
    EXPECT_EQ(p.hostSampleRate(), 44100);
    EXPECT_EQ(p.currentOversamplingFactor(), 1);
    EXPECT_FALSE(p.stereoRoutineSelected());
    EXPECT_EQ(p.getLatencySamples(), 0);
    EXPECT_EQ(p.currentInputGain(), 1.5);
    EXPECT_EQ(p.currentOutputGain(), outputGainFor(24.5f));
    const float defaults[kParameterCount] = {0, 24.5f, 8, 7, 7, 7, 24.5f, 0, 0, 0};
    for (int program = 0; program < 12; ++program) {
        EXPECT_EQ(p.getProgramName(program), juce::String(program + 1) + " default");
        p.setCurrentProgram(program);
        for (int index = 0; index < kParameterCount; ++index) EXPECT_EQ(p.internalValue(index), defaults[index]);
    }
    for (int c = 0; c < 2; ++c) {
        EXPECT_TRUE(p.chain(c).isReady());
        EXPECT_EQ(p.chain(c).b1().position(), 8u);
    }
    // One read-only copy of every block's networks serves both channels.
    EXPECT_TRUE(p.chain(1).b1().sharesModelWith(p.chain(0).b1()));
    EXPECT_TRUE(p.chain(1).b2().sharesModelWith(p.chain(0).b2()));
    EXPECT_TRUE(p.chain(1).b3().sharesModelWith(p.chain(0).b3()));
    EXPECT_TRUE(p.chain(1).b4().sharesModelWith(p.chain(0).b4()));
}

TEST(Processor, Identity) {
    auto p = makeProcessor();
    EXPECT_EQ(p->getName(), "TORVIK Preamp v1.3");
    EXPECT_EQ(p->getNumParameters(), 10);
    EXPECT_EQ(p->getNumPrograms(), 12);
    EXPECT_EQ(p->getParameterName(0), "Dual Triodes");
    EXPECT_EQ(p->getParameterName(9), "Show settings");
    EXPECT_EQ(p->getParameterName(10), "");
    EXPECT_EQ(p->getParameterName(-1), "");
    EXPECT_EQ(p->getParameter(-1), 0.0f);
    EXPECT_EQ(p->getParameter(10), 0.0f);
    EXPECT_EQ(p->getParameterText(10), "");
    EXPECT_EQ(p->getInputChannelName(0), "1");
    EXPECT_EQ(p->getOutputChannelName(1), "2");
    EXPECT_TRUE(p->isInputChannelStereoPair(0));
    EXPECT_TRUE(p->isParameterAutomatable(3));
    EXPECT_FALSE(p->acceptsMidi());
    EXPECT_FALSE(p->producesMidi());
    EXPECT_FALSE(p->silenceInProducesSilenceOut());
    EXPECT_EQ(p->getTailLengthSeconds(), 0.0);
    EXPECT_TRUE(p->hasEditor());
}

struct SetParameterCase {
    const char* what;
    int index;
    float host;
    Log log;
};

TEST(Processor, SetParameterMakesExactlyTheReconfigurationItNeeds) {
    const std::string aged = "torvikpre_rsd_b3_pca.dat.", fresh = "torvikpre_eh_b3_pca.dat.";
    const std::string toneTreble14 = std::to_string(225 * 14 + 15 * 7 + 7);
    const std::string toneMiddle0 = std::to_string(225 * 7 + 15 * 7);
    const std::string toneBass1 = std::to_string(225 * 7 + 15 * 1 + 7);
    const SetParameterCase cases[] = {
        {"tube set to aged", kTubeSet, 0.5f, withChange(reapplyLog("rsd", 44100, 8, kDefaultTone))},
        {"tube set unchanged", kTubeSet, -0.5f, {}},
        {"tube set, clamped", kTubeSet, 3.0f, withChange(reapplyLog("rsd", 44100, 8, kDefaultTone))},
        {"input", kInput, 1.0f, {"change"}},
        {"input unchanged", kInput, 0.5f, {}},
        {"gain", kGain, 1.0f,
         {"suspend", "gain c0 b1 16", "gain c0 b2 16", "gain c1 b1 16", "gain c1 b2 16", "resume", "change"}},
        {"gain, same position", kGain, 0.52f, {}},
        {"gain, negative", kGain, -4.0f,
         {"suspend", "gain c0 b1 0", "gain c0 b2 0", "gain c1 b1 0", "gain c1 b2 0", "resume", "change"}},
        {"treble", kTreble, 1.0f, {"tone c0 " + toneTreble14, "tone c1 " + toneTreble14, "change"}},
        {"middle", kMiddle, 0.0f, {"tone c0 " + toneMiddle0, "tone c1 " + toneMiddle0, "change"}},
        {"bass", kBass, 0.1f, {"tone c0 " + toneBass1, "tone c1 " + toneBass1, "change"}},
        {"output", kOutput, 0.0f, {"change"}},
        {"oversampling x2", kOversampling, 0.25f,
         {"suspend", "load c0 b3 " + fresh + "88200", "load c1 b3 " + fresh + "88200", "rate c0 88200",
          "rate c1 88200", "b3 c0", "b3 c1", "resume", "change"}},
        {"oversampling x16", kOversampling, 1.0f,
         {"suspend", "load c0 b3 " + fresh + "705600", "load c1 b3 " + fresh + "705600", "rate c0 705600",
          "rate c1 705600", "b3 c0", "b3 c1", "resume", "change"}},
        {"stereo", kChannelMode, 0.5f,
         {"suspend", "load c0 b3 " + fresh + "44100", "load c1 b3 " + fresh + "44100", "rate c0 44100",
          "rate c1 44100", "b3 c0", "b3 c1", "resume", "change"}},
        {"show settings", kShowSettings, 0.5f, {"change"}},
        {"NaN", kGain, std::numeric_limits<float>::quiet_NaN(), {}},
        {"index 10", 10, 1.0f, {}},
        {"index -1", -1, 1.0f, {}},
    };
    for (const SetParameterCase& c : cases) {
        RecordingEvents events;
        auto p = makeProcessor(2, 2, &events);
        events.take();
        p->setParameter(c.index, c.host);
        EXPECT_EQ(events.log, c.log) << c.what;
        EXPECT_TRUE(p->modelsReady()) << c.what;
    }
}

TEST(Processor, StoredValuesAndTheirEffects) {
    auto p = makeProcessor();
    p->setParameter(kInput, 0.3f);
    EXPECT_EQ(p->internalValue(kInput), 49.0f * 0.3f);
    EXPECT_EQ(p->getParameter(kInput), 49.0f * 0.3f / 49.0f);
    EXPECT_EQ(p->currentInputGain(), 3.0 * static_cast<double>(49.0f * 0.3f / 49.0f));
    p->setParameter(kInput, 0.0f);
    EXPECT_EQ(p->currentInputGain(), 0.0);

    p->setParameter(kOutput, 1.0f);
    EXPECT_EQ(p->currentOutputGain(), static_cast<double>(6.3095737f) / 345.0);
    p->setParameter(kOutput, 0.0f);
    EXPECT_EQ(p->currentOutputGain(), static_cast<double>(0.47097734f) / 345.0);
    p->setParameter(kOutput, 9.0f);
    EXPECT_EQ(p->internalValue(kOutput), 49.0f);

    EXPECT_EQ(p->getParameter(kTubeSet), -0.5f);
    p->setParameter(kTubeSet, 1.0f);
    EXPECT_EQ(p->getParameter(kTubeSet), 0.5f);
    EXPECT_EQ(p->getParameterText(kTubeSet), "Aged  12ax7");

    p->setParameter(kGain, 0.999f);
    EXPECT_EQ(p->internalValue(kGain), 15.0f);
    EXPECT_EQ(p->chain(0).b1().position(), 15u);
    EXPECT_EQ(p->chain(1).b2().position(), 15u);
    EXPECT_EQ(p->getParameterText(kGain), "0.94=>15");

    p->setParameter(kOversampling, 0.7f);
    EXPECT_EQ(p->internalValue(kOversampling), 2.0f);
    EXPECT_EQ(p->currentOversamplingFactor(), 4);
    EXPECT_EQ(p->getParameterText(kOversampling), "x4");
}

struct RoutineCase {
    int ins, outs;
    float stereo, oversamplingCode;
    bool stereoSelected;
    int factor;
};

// Hosts that name parameters (LV2 properties, VST3 ids) get ten distinct names that can stand in
// a plug-in description; the default a host resets to is the built-in bank's value.
TEST(Processor, ParameterIdsAndDefaultsForHosts) {
    auto p = makeProcessor();
    std::set<juce::String> ids;
    for (int i = 0; i < kParameterCount; ++i) {
        const juce::String id = p->getParameterID(i);
        EXPECT_TRUE(id.isNotEmpty() && juce::CharacterFunctions::isLetter(id[0]) && id.containsOnly("abcdefghijklmnopqrstuvwxyz"))
            << id;
        ids.insert(id);
        const float hostDefault = p->getParameterDefaultValue(i);
        EXPECT_GE(hostDefault, 0.0f);
        EXPECT_LE(hostDefault, 1.0f);
        for (int program = 0; program < kProgramCount; ++program)
            EXPECT_EQ(internalFromHost(i, hostDefault), p->programValue(program, i)) << "parameter " << i;
    }
    EXPECT_EQ(ids.size(), 10u);
    EXPECT_EQ(p->getParameterID(kParameterCount), juce::String());
}

TEST(Processor, RoutineSelection) {
    const RoutineCase cases[] = {
        {2, 2, 0, 0, false, 1}, {2, 2, 1, 0, true, 1},  {2, 2, 1, 1, true, 2},  {2, 2, 0, 2, false, 4},
        {2, 2, 1, 3, true, 8},  {2, 2, 1, 4, true, 16}, {1, 1, 1, 0, false, 1}, {1, 2, 1, 4, false, 16},
        {1, 1, 0, 3, false, 8},
    };
    for (const RoutineCase& c : cases) {
        auto p = makeProcessor(c.ins, c.outs);
        p->setParameter(kChannelMode, hostValueFor(kChannelMode, c.stereo));
        p->setParameter(kOversampling, hostValueFor(kOversampling, c.oversamplingCode));
        EXPECT_EQ(p->stereoRoutineSelected(), c.stereoSelected) << c.ins << " " << c.stereo << " " << c.oversamplingCode;
        EXPECT_EQ(p->currentOversamplingFactor(), c.factor);
        EXPECT_EQ(p->getLatencySamples(), c.factor > 1 ? 15 : 0);
        EXPECT_EQ(p->getParameterText(kChannelMode), c.stereo != 0 ? "Stereo" : "Mono");
    }
}

TEST(Processor, ChannelCountIsReadWhenTheRoutineIsSelected) {
    auto p = makeProcessor(2, 2);
    p->setParameter(kChannelMode, 0.5f);
    EXPECT_TRUE(p->stereoRoutineSelected());
    p->setPlayConfigDetails(1, 1, 44100.0, 512);
    EXPECT_TRUE(p->stereoRoutineSelected());  // nothing reselected yet
    p->setCurrentProgram(p->getCurrentProgram());
    EXPECT_FALSE(p->stereoRoutineSelected());
}

TEST(Processor, SetCurrentProgramReappliesEverything) {
    RecordingEvents events;
    auto p = makeProcessor(2, 2, &events);
    p->setCurrentProgram(4);
    p->setParameter(kGain, 0.25f);
    p->setParameter(kTreble, 0.0f);
    p->setParameter(kOversampling, 0.5f);
    p->setParameter(kInput, 1.0f);
    p->setParameter(kTubeSet, 0.5f);
    p->setCurrentProgram(0);
    EXPECT_EQ(p->currentOversamplingFactor(), 1);
    EXPECT_EQ(p->currentInputGain(), 1.5);
    EXPECT_EQ(p->getLatencySamples(), 0);

    events.take();
    p->setCurrentProgram(4);
    EXPECT_EQ(events.log, reapplyLog("rsd", 4 * 44100, 4, 15 * 7 + 7));  // no change message of its own
    EXPECT_EQ(p->currentInputGain(), 3.0);
    EXPECT_EQ(p->getLatencySamples(), 15);

    events.take();
    p->setCurrentProgram(4);  // the same program again: reloads every file all the same
    EXPECT_EQ(events.count("load"), 8);

    events.take();
    for (int bad : {-1, 12, 1000}) p->setCurrentProgram(bad);
    EXPECT_TRUE(events.log.empty());
    EXPECT_EQ(p->getCurrentProgram(), 4);
}

TEST(Processor, ProgramNames) {
    RecordingEvents events;
    auto p = makeProcessor(2, 2, &events);
    events.take();
    p->changeProgramName(2, "Crunch <&>");
    EXPECT_EQ(p->getProgramName(2), "Crunch <&>");
    p->changeProgramName(12, "x");
    p->changeProgramName(-1, "x");
    EXPECT_EQ(p->getProgramName(-1), "");
    EXPECT_EQ(p->getProgramName(12), "");
    EXPECT_EQ(p->getProgramName(11), "12 default");
    EXPECT_TRUE(events.log.empty());
}

TEST(Processor, PrepareToPlayAppliesANewHostRate) {
    RecordingEvents events;
    auto p = makeProcessor(2, 2, &events);
    events.take();
    p->prepareToPlay(48000.7, 256);
    EXPECT_EQ(p->hostSampleRate(), 48000);
    EXPECT_EQ(events.count("load c0 b3 torvikpre_eh_b3_pca.dat.48000"), 1);
    EXPECT_EQ(p->chain(0).b3().sampleRate(), 48000.0);
    EXPECT_EQ(p->chain(1).b1().sampleRate(), 48000.0);
    events.take();
    p->prepareToPlay(48000.2, 256);  // the same rate: nothing to redo
    EXPECT_TRUE(events.log.empty());
    p->setParameter(kOversampling, 0.25f);
    EXPECT_EQ(events.count("load c0 b3 torvikpre_eh_b3_pca.dat.96000"), 1);
    EXPECT_EQ(p->chain(1).b3().sampleRate(), 96000.0);
    events.take();
    for (double bad : {0.0, -44100.0, std::numeric_limits<double>::quiet_NaN(), 1e300}) {
        p->prepareToPlay(bad, 64);
        EXPECT_EQ(p->hostSampleRate(), 48000) << bad;
    }
    EXPECT_TRUE(events.log.empty());
}

float peakOf(const juce::AudioBuffer<float>& b) {
    float peak = 0;
    for (int ch = 0; ch < b.getNumChannels(); ++ch) peak = std::max(peak, b.getMagnitude(ch, 0, b.getNumSamples()));
    return peak;
}

juce::AudioBuffer<float> sineBlock(int channels, int n) {
    juce::AudioBuffer<float> b(channels, n);
    for (int ch = 0; ch < channels; ++ch)
        for (int j = 0; j < n; ++j) b.setSample(ch, j, 0.3f * std::sin(0.05f * j + ch));
    return b;
}

TEST(Processor, MissingModelFilesGiveSilenceAndRecover) {
    // No folder at all.
    TorvikPreampAudioProcessor none(::testing::TempDir() + "torvik_no_such_folder");
    EXPECT_FALSE(none.modelsReady());
    EXPECT_EQ(none.modelProblems().size(), 8u);
    juce::MidiBuffer midi;
    auto block = sineBlock(2, 256);
    none.processBlock(block, midi);
    EXPECT_EQ(peakOf(block), 0.0f);
    none.setParameter(kOversampling, 1.0f);
    none.setParameter(kTubeSet, 0.5f);
    EXPECT_FALSE(none.modelsReady());

    // A host rate the folder has no block 3 file for.
    auto p = makeProcessor();
    p->prepareToPlay(32000.0, 256);
    p->setCurrentProgram(0);
    EXPECT_FALSE(p->modelsReady());
    ASSERT_EQ(p->modelProblems().size(), 2u);
    EXPECT_NE(p->modelProblems()[0].find("torvikpre_eh_b3_pca.dat.32000"), std::string::npos);
    block = sineBlock(2, 256);
    p->processBlock(block, midi);
    EXPECT_EQ(peakOf(block), 0.0f);

    p->prepareToPlay(48000.0, 256);
    p->setParameter(kOversampling, 0.5f);
    EXPECT_TRUE(p->modelsReady());
    block = sineBlock(2, 256);
    p->processBlock(block, midi);
    EXPECT_GT(peakOf(block), 0.0f);
}

} // namespace
} // namespace torvik
