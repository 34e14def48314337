// The VST 2.4 shared object as a host sees it: entry point, identity, capabilities, channel
// arrangements, chunks, texts and audio, through dlopen and the dispatcher only. The audio is
// compared with the processor run in this process on the same model folder.
#include "plugin/Vst2Host.h"

#include "processor/HostCall.h"
#include "processor/Parameters.h"
#include "processor/TorvikPreampAudioProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace torvik::test {
namespace {

using namespace vst;

const std::string kBinary = TORVIK_VST2_BINARY;

struct Loaded {
    Vst2Host host{kBinary};
    AEffect* effect = nullptr;
    Loaded() {
        if (host.loaded()) effect = host.create();
    }
};

std::string chunkText(const std::vector<unsigned char>& chunk) {
    return chunk.size() > 9 ? std::string(chunk.begin() + 8, chunk.end() - 1) : std::string();
}

TEST(Vst2Host, EntryPointRefusesAHostThatGivesNoVersion) {
    Vst2Host host(kBinary, 0);
    ASSERT_TRUE(host.loaded()) << host.loadError();
    EXPECT_EQ(host.create(), nullptr);
    EXPECT_EQ(host.log.versionQuestions, 1);
}

TEST(Vst2Host, ExportsOnlyItsEntryPoint) {
    Vst2Host host(kBinary);
    ASSERT_TRUE(host.loaded()) << host.loadError();
    EXPECT_TRUE(host.exports("VSTPluginMain"));
    EXPECT_FALSE(host.exports("main"));  // the entry's legacy name, JUCE's own and without our answers
    EXPECT_FALSE(host.exports("juceVSTPluginMain"));
}

TEST(Vst2Host, DescriptorAndIdentity) {
    Loaded p;
    ASSERT_NE(p.effect, nullptr) << p.host.loadError();
    const AEffect& e = *p.effect;
    EXPECT_EQ(e.magic, 0x56737450);
    EXPECT_EQ(e.numPrograms, 12);
    EXPECT_EQ(e.numParams, 10);
    EXPECT_EQ(e.numInputs, 2);
    EXPECT_EQ(e.numOutputs, 2);
    EXPECT_EQ(e.initialDelay, 0);
    EXPECT_EQ(e.version, 130);
    const auto id = static_cast<uint32_t>(e.uniqueID);
    const char unpacked[5] = {static_cast<char>(id >> 24), static_cast<char>(id >> 16), static_cast<char>(id >> 8),
                              static_cast<char>(id), '\0'};
    EXPECT_STREQ(unpacked, "Pz4k");
    EXPECT_TRUE(e.flags & effFlagsHasEditor);
    EXPECT_TRUE(e.flags & effFlagsCanReplacing);
    EXPECT_TRUE(e.flags & effFlagsProgramChunks);
    EXPECT_TRUE(e.flags & effFlagsNoSoundInStop);
    EXPECT_FALSE(e.flags & effFlagsIsSynth);

    EXPECT_EQ(p.host.text(effGetEffectName), "TORVIK Preamp v1.3");
    EXPECT_EQ(p.host.text(effGetProductString), "TORVIK Preamp v1.3");
    EXPECT_EQ(p.host.text(effGetVendorString), "Quintell");
    EXPECT_EQ(p.host.dispatch(effGetVendorVersion), 130);
    EXPECT_EQ(p.host.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(p.host.dispatch(effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(p.host.dispatch(opcode::setBypass, 0, 0), 1);
}

TEST(Vst2Host, CanDoAnswers) {
    Loaded p;
    ASSERT_NE(p.effect, nullptr) << p.host.loadError();
    const std::pair<const char*, int> cases[] = {
        {"receiveVstEvents", -1},   {"receiveVstMidiEvent", -1},  {"receiveVstMidiEvents", -1},
        {"sendVstEvents", -1},      {"sendVstMidiEvent", -1},     {"sendVstMidiEvents", -1},
        {"receiveVstTimeInfo", 1},  {"conformsToWindowRules", 1}, {"bypass", 1},
        {"openCloseAnyThread", -1}, {"supportsViewDpiScaling", 0}, {"hasCockosExtensions", 0},
        {"MPE", 0},                 {"offline", 0},               {"", 0},
        {"Bypass", 0},
    };
    for (const auto& [what, answer] : cases) EXPECT_EQ(p.host.canDo(what), answer) << what;
    EXPECT_EQ(p.host.dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST(Vst2Host, SpeakerArrangements) {
    Loaded p;
    ASSERT_NE(p.effect, nullptr) << p.host.loadError();
    struct Case {
        int ins, outs;
        VstIntPtr accepted;
    };
    const Case cases[] = {{2, 1, 0}, {1, 1, 1}, {1, 2, 0}, {2, 2, 1}, {0, 2, 0}, {3, 3, 0}};
    for (const Case& c : cases) EXPECT_EQ(p.host.arrange(c.ins, c.outs), c.accepted) << c.ins << " in, " << c.outs << " out";
}

TEST(Vst2Host, ParameterProgramAndPinTexts) {
    Loaded p;
    ASSERT_NE(p.effect, nullptr) << p.host.loadError();
    const char* names[] = {"Dual Triodes", "Input",        "Gain",        "Treble",      "Middle",
                           "Bass",         "Output",       "Oversampling", "Mono/Stereo", "Show settings"};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(p.host.text(effGetParamName, i), names[i]);
        EXPECT_EQ(p.host.text(effGetParamLabel, i), "");
        EXPECT_EQ(p.host.dispatch(effCanBeAutomated, i), 1);
    }
    EXPECT_EQ(p.host.text(effGetParamDisplay, kGain), "0.50=>8");
    EXPECT_EQ(p.host.text(effGetParamDisplay, kTubeSet), "Fresh 12ax7");
    for (int i = 0; i < 12; ++i) EXPECT_EQ(p.host.text(effGetProgramNameIndexed, i), std::to_string(i + 1) + " default");
    EXPECT_EQ(p.host.dispatch(effGetProgramNameIndexed, 12), 0);

    for (int op : {effGetInputProperties, effGetOutputProperties}) {
        for (int i = 0; i < 3; ++i) {
            struct {
                VstPinProperties properties;
                unsigned char after[8];
            } record;
            std::memset(&record, 0xEE, sizeof record);
            EXPECT_EQ(p.host.dispatch(op, i, 0, &record.properties), i < 2 ? 1 : 0);
            if (i < 2) {
                EXPECT_STREQ(record.properties.label, std::to_string(i + 1).c_str());
                EXPECT_STREQ(record.properties.shortLabel, std::to_string(i + 1).c_str());
                EXPECT_EQ(record.properties.flags, pin::isActive | pin::isStereo);
            }
            for (unsigned char b : record.after) EXPECT_EQ(b, 0xEE) << "written past the pin record";
        }
    }
}

// Texts are cut to the host's buffer, terminating zero included, on a whole UTF-8 character.
TEST(Vst2Host, TextsFitTheHostsBuffers) {
    Loaded p;
    ASSERT_NE(p.effect, nullptr) << p.host.loadError();
    struct Case {
        std::string name;  // given to the current program
        std::string expected;
    };
    const Case cases[] = {
        {"Clean", "Clean"},
        {"Twenty-three characters", "Twenty-three characters"},
        {"A name of forty characters, much too long", "A name of forty charact"},
        {"Twenty-two characters\xC3\xA9\xC3\xA9", "Twenty-two characters\xC3\xA9"},
        {"Twenty-one characters\xE2\x82\xAC", "Twenty-one characters"},
    };
    for (const Case& c : cases) {
        const std::string xml = chunkText(p.host.chunk(false));
        // The first program's name is set through the state, the one way a host can give a long name.
        const std::string key = "programname=\"";
        const std::size_t begin = xml.find(key) + key.size(), end = xml.find('"', begin);
        ASSERT_NE(end, std::string::npos);
        std::string named = xml;
        named.replace(begin, end - begin, c.name);
        std::string bytes = "VC2!" + std::string(4, '\0') + named + '\0';
        const auto size = static_cast<uint32_t>(named.size());
        std::memcpy(&bytes[4], &size, 4);
        p.host.setChunk(std::vector<unsigned char>(bytes.begin(), bytes.end()), false);

        for (int op : {effGetProgramName, effGetProgramNameIndexed}) {
            unsigned char buffer[24 + 8];
            std::memset(buffer, 0xEE, sizeof buffer);
            p.host.dispatch(op, 0, 0, buffer);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer)), c.expected) << c.name;
            for (std::size_t k = 24; k < sizeof buffer; ++k) EXPECT_EQ(buffer[k], 0xEE) << "byte " << k << " written";
        }
    }
    unsigned char buffer[16 + 8];
    std::memset(buffer, 0xEE, sizeof buffer);
    p.host.dispatch(effGetParamName, kShowSettings, 0, buffer);
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer), "Show settings");
    for (std::size_t k = 16; k < sizeof buffer; ++k) EXPECT_EQ(buffer[k], 0xEE);
}

TEST(Vst2Host, BankAndProgramChunksAreTheSameWholeBank) {
    Loaded p;
    ASSERT_NE(p.effect, nullptr) << p.host.loadError();
    p.effect->setParameter(p.effect, kGain, 1.0f);
    p.host.dispatch(effSetProgram, 0, 4);
    const std::vector<unsigned char> bank = p.host.chunk(false), program = p.host.chunk(true);
    ASSERT_GT(bank.size(), 9u);
    EXPECT_EQ(bank, program);
    EXPECT_EQ(std::memcmp(bank.data(), "VC2!", 4), 0);
    const std::string xml = chunkText(bank);
    EXPECT_EQ(xml.rfind("<qix cprog=\"4\" version=\"1\"><programs>", 0), 0u) << xml;
    std::size_t programs = 0;
    for (std::size_t at = xml.find("<program "); at != std::string::npos; at = xml.find("<program ", at + 1)) ++programs;
    EXPECT_EQ(programs, 12u);
}

TEST(Vst2Host, ChunkCarriesTheBankToAnotherInstance) {
    Loaded a;
    ASSERT_NE(a.effect, nullptr) << a.host.loadError();
    AEffect& e = *a.effect;
    e.setParameter(&e, kGain, 1.0f);
    e.setParameter(&e, kTreble, 0.0f);
    e.setParameter(&e, kInput, 0.25f);
    e.setParameter(&e, kOversampling, 0.25f);
    e.setParameter(&e, kChannelMode, 0.5f);
    char name[] = "Crunch";
    a.host.dispatch(effSetProgramName, 0, 0, name);
    a.host.dispatch(effSetProgram, 0, 7);
    e.setParameter(&e, kTubeSet, 0.5f);
    const std::vector<unsigned char> chunk = a.host.chunk(true);

    for (bool programOnly : {false, true}) {
        Loaded b;
        ASSERT_NE(b.effect, nullptr);
        b.host.setChunk(chunk, programOnly);
        EXPECT_EQ(b.host.dispatch(effGetProgram), 7);
        for (int program = 0; program < 12; ++program) {
            EXPECT_EQ(b.host.text(effGetProgramNameIndexed, program), a.host.text(effGetProgramNameIndexed, program));
            a.host.dispatch(effSetProgram, 0, program);
            b.host.dispatch(effSetProgram, 0, program);
            for (int i = 0; i < 10; ++i)
                EXPECT_EQ(b.effect->getParameter(b.effect, i), e.getParameter(&e, i)) << "program " << program << " parameter " << i;
        }
        a.host.dispatch(effSetProgram, 0, 7);
        EXPECT_EQ(b.host.text(effGetProgramNameIndexed, 0), "Crunch");
    }
}

// The plug-in's output against the processor run here on the same model files, settings and
// blocks; with oversampling the host is told the latency, and bypass delays the dry signal by it.
TEST(Vst2Host, AudioEqualsTheProcessorsAndBypassKeepsTheLatency) {
    constexpr float kRate = 48000.0f;
    constexpr int kBlock = 256, kBlocks = 24;
    for (float oversampling : {0.0f, 0.25f}) {
        Loaded p;
        ASSERT_NE(p.effect, nullptr) << p.host.loadError();
        AEffect& e = *p.effect;
        ASSERT_EQ(p.host.arrange(2, 2), 1);
        e.setParameter(&e, kChannelMode, 0.5f);
        e.setParameter(&e, kGain, 0.75f);
        e.setParameter(&e, kBass, 0.9f);
        e.setParameter(&e, kOversampling, oversampling);
        p.host.resume(kRate, kBlock);
        const int latency = oversampling > 0.0f ? 15 : 0;
        EXPECT_EQ(e.initialDelay, latency);

        TorvikPreampAudioProcessor reference(kBinary + ".dat");
        reference.setPlayConfigDetails(2, 2, kRate, kBlock);
        reference.prepareToPlay(kRate, kBlock);
        for (int i : {kChannelMode, kGain, kBass, kOversampling}) reference.setParameter(i, e.getParameter(&e, i));
        ASSERT_TRUE(reference.modelsReady()) << reference.modelFolder();

        double peak = 0.0;
        for (int b = 0; b < kBlocks; ++b) {
            std::vector<std::vector<float>> in(2, std::vector<float>(kBlock)), out(2, std::vector<float>(kBlock, 9.0f));
            juce::AudioBuffer<float> expected(2, kBlock);
            for (int ch = 0; ch < 2; ++ch)
                for (int j = 0; j < kBlock; ++j) {
                    const int n = b * kBlock + j;
                    in[ch][j] = 0.3f * std::sin(0.013f * static_cast<float>(n) * (1.0f + 0.5f * static_cast<float>(ch)));
                    expected.setSample(ch, j, in[ch][j]);
                }
            p.host.process(in, out);
            juce::MidiBuffer midi;
            processBlockAsHost(reference, expected, midi);
            for (int ch = 0; ch < 2; ++ch)
                for (int j = 0; j < kBlock; ++j) {
                    ASSERT_EQ(out[ch][j], expected.getSample(ch, j)) << "factor code " << oversampling << " block " << b << " channel " << ch;
                    peak = std::max(peak, std::abs(static_cast<double>(out[ch][j])));
                }
        }
        EXPECT_GT(peak, 0.01);

        EXPECT_EQ(p.host.dispatch(opcode::setBypass, 0, 1), 1);
        for (int b = 0; b < 4; ++b) {
            std::vector<std::vector<float>> in(2, std::vector<float>(kBlock)), out(2, std::vector<float>(kBlock));
            for (int j = 0; j < kBlock; ++j) in[0][j] = in[1][j] = static_cast<float>(b * kBlock + j + 1);
            p.host.process(in, out);
            for (int j = 0; j < kBlock; ++j) {
                const int n = b * kBlock + j;
                if (n >= latency) {
                    EXPECT_EQ(out[0][j], static_cast<float>(n - latency + 1)) << n;
                }
            }
        }
        p.host.suspend();
    }
}

} // namespace
} // namespace torvik::test
