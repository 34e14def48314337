// torvik-render: options, file formats, alignment, and the failures that leave no output behind.
#include "ProcessorFixtures.h"

#include "tools/render/Render.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace torvik {
namespace {

using namespace fixtures;
namespace fs = std::filesystem;

std::string tempFile(const std::string& name) { return ::testing::TempDir() + "torvik_render_" + name; }

float sampleAt(int ch, int n) { return 0.4f * std::sin(0.021f * n + ch) * std::exp(-0.0002f * n); }

// Writes a WAV with the framework's writer (16 and 24 bits integer, 32 bits float) or, for
// integer 32-bit samples, by hand.
void writeWav(const std::string& path, int channels, int frames, double rate, int bits, bool integer32 = false) {
    if (integer32) {
        std::ofstream out(path, std::ios::binary);
        auto put32 = [&out](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
        auto put16 = [&out](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
        const uint32_t dataBytes = static_cast<uint32_t>(frames * channels * 4);
        out.write("RIFF", 4);
        put32(36 + dataBytes);
        out.write("WAVEfmt ", 8);
        put32(16);
        put16(1);
        put16(static_cast<uint16_t>(channels));
        put32(static_cast<uint32_t>(rate));
        put32(static_cast<uint32_t>(rate) * channels * 4);
        put16(static_cast<uint16_t>(channels * 4));
        put16(32);
        out.write("data", 4);
        put32(dataBytes);
        for (int n = 0; n < frames; ++n)
            for (int ch = 0; ch < channels; ++ch) put32(static_cast<uint32_t>(static_cast<int32_t>(sampleAt(ch, n) * 2147483647.0f)));
        return;
    }
    juce::AudioBuffer<float> buffer(channels, frames);
    for (int ch = 0; ch < channels; ++ch)
        for (int n = 0; n < frames; ++n) buffer.setSample(ch, n, sampleAt(ch, n));
    const juce::File file(path);
    file.deleteFile();
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer(
        wav.createWriterFor(file.createOutputStream().release(), rate, static_cast<unsigned>(channels), bits, {}, 0));
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(writer->writeFromAudioSampleBuffer(buffer, 0, frames));
}

struct Wav {
    int channels = 0, bits = 0;
    bool floating = false;
    double rate = 0;
    juce::AudioBuffer<float> samples;
};

Wav readWav(const std::string& path) {
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader(wav.createReaderFor(juce::File(path).createInputStream().release(), true));
    Wav w;
    if (reader == nullptr) return w;
    w.channels = static_cast<int>(reader->numChannels);
    w.bits = static_cast<int>(reader->bitsPerSample);
    w.floating = reader->usesFloatingPointData;
    w.rate = reader->sampleRate;
    w.samples.setSize(w.channels, static_cast<int>(reader->lengthInSamples));
    reader->read(&w.samples, 0, w.samples.getNumSamples(), 0, true, true);
    return w;
}

RenderOptions options(const std::string& in, const std::string& out) {
    RenderOptions o;
    o.input = in;
    o.output = out;
    o.modelFolder = fixtureModelFolder();
    return o;
}

TEST(RenderOptions, Parsing) {
    RenderOptions o;
    ASSERT_EQ(parseRenderOptions({"in.wav", "out.wav", "--gain", "0.75", "--oversampling", "8", "--stereo", "--tubes",
                                  "aged", "--treble", "0", "--middle", "1", "--bass", "0.5", "--input", "0.25",
                                  "--output", "1", "--program", "p.bin", "--block", "64", "--models", "m"},
                                 o),
              "");
    EXPECT_EQ(o.input, "in.wav");
    EXPECT_EQ(o.output, "out.wav");
    EXPECT_EQ(o.gain, 0.75f);
    EXPECT_EQ(o.oversampling, 8);
    EXPECT_TRUE(o.stereo);
    EXPECT_EQ(o.tubes, TubeFamily::Aged);
    EXPECT_EQ(o.treble, 0.0f);
    EXPECT_EQ(o.middle, 1.0f);
    EXPECT_EQ(o.bass, 0.5f);
    EXPECT_EQ(o.inputLevel, 0.25f);
    EXPECT_EQ(o.outputLevel, 1.0f);
    EXPECT_EQ(o.programFile, "p.bin");
    EXPECT_EQ(o.blockSize, 64);
    EXPECT_EQ(o.modelFolder, "m");

    const std::vector<std::vector<std::string>> refused = {
        {},
        {"in.wav"},
        {"a.wav", "b.wav", "c.wav"},
        {"a.wav", "a.wav"},
        {"in.wav", "out.wav", "--gain"},
        {"in.wav", "out.wav", "--gain", "1.5"},
        {"in.wav", "out.wav", "--gain", "-0.1"},
        {"in.wav", "out.wav", "--gain", "loud"},
        {"in.wav", "out.wav", "--treble", "nan"},
        {"in.wav", "out.wav", "--oversampling", "3"},
        {"in.wav", "out.wav", "--tubes", "new"},
        {"in.wav", "out.wav", "--block", "0"},
        {"in.wav", "out.wav", "--block", "2.5"},
        {"in.wav", "out.wav", "--volume", "1"},
    };
    for (const auto& args : refused) {
        RenderOptions r;
        EXPECT_NE(parseRenderOptions(args, r), "") << ::testing::PrintToString(args);
    }
    RenderOptions h;
    EXPECT_EQ(parseRenderOptions({"--help"}, h), "");
    EXPECT_TRUE(h.help);
}

TEST(Render, FormatsInAndFloatOut) {
    struct Case { int channels, bits; bool integer32; };
    const Case cases[] = {{1, 16, false}, {2, 24, false}, {1, 32, true}, {2, 32, false}};
    for (const Case& c : cases) {
        const std::string in = tempFile("in.wav"), out = tempFile("out.wav");
        writeWav(in, c.channels, 3000, 44100.0, c.bits, c.integer32);
        const Wav input = readWav(in);
        ASSERT_EQ(input.channels, c.channels) << c.bits;
        ASSERT_EQ(input.floating, c.bits == 32 && !c.integer32) << c.bits;
        RenderSummary s;
        std::string error;
        ASSERT_TRUE(renderFile(options(in, out), s, error)) << error;
        const Wav output = readWav(out);
        EXPECT_EQ(output.channels, c.channels);
        EXPECT_EQ(output.samples.getNumSamples(), 3000);
        EXPECT_EQ(output.rate, 44100.0);
        EXPECT_EQ(output.bits, 32);
        EXPECT_TRUE(output.floating);
        EXPECT_GT(output.samples.getMagnitude(0, 0, 3000), 0.0f);
        EXPECT_NEAR(s.seconds, 3000 / 44100.0, 1e-9);
        EXPECT_GT(s.peakDb, -200.0);
        EXPECT_FALSE(fs::exists(out + ".partial"));
    }
}

TEST(Render, BlockSizeDoesNotChangeTheResultAndLatencyIsRemoved) {
    const std::string in = tempFile("blocks.wav");
    writeWav(in, 2, 2000, 48000.0, 24);
    for (int factor : {1, 4}) {
        RenderOptions big = options(in, tempFile("big.wav")), small = options(in, tempFile("small.wav"));
        big.blockSize = 512;
        small.blockSize = 37;
        big.oversampling = small.oversampling = factor;
        big.stereo = small.stereo = true;
        RenderSummary s;
        std::string error;
        ASSERT_TRUE(renderFile(big, s, error)) << error;
        EXPECT_EQ(s.latency, factor == 1 ? 0 : 15);
        ASSERT_TRUE(renderFile(small, s, error)) << error;
        const Wav a = readWav(big.output), b = readWav(small.output);
        ASSERT_EQ(a.samples.getNumSamples(), 2000);
        ASSERT_EQ(b.samples.getNumSamples(), 2000);
        for (int ch = 0; ch < 2; ++ch)
            for (int n = 0; n < 2000; ++n) ASSERT_EQ(a.samples.getSample(ch, n), b.samples.getSample(ch, n)) << factor;
    }
}

TEST(Render, OutputIsTheProcessorsOutputWithoutItsLatency) {
    const std::string in = tempFile("aligned.wav"), out = tempFile("aligned-out.wav");
    writeWav(in, 2, 1000, 48000.0, 24);
    RenderOptions o = options(in, out);
    o.oversampling = 4;
    o.stereo = true;
    RenderSummary s;
    std::string error;
    ASSERT_TRUE(renderFile(o, s, error)) << error;
    const Wav rendered = readWav(out);

    // The same configuration, run directly: input, then 15 samples of silence.
    TorvikPreampAudioProcessor p(fixtureModelFolder());
    p.setPlayConfigDetails(2, 2, 48000.0, 512);
    p.prepareToPlay(48000.0, 512);
    p.setCurrentProgram(0);
    p.setParameter(kOversampling, 0.5f);
    p.setParameter(kChannelMode, 0.5f);
    ASSERT_EQ(p.getLatencySamples(), 15);
    const Wav source = readWav(in);
    juce::AudioBuffer<float> direct(2, 1015);
    direct.clear();
    for (int ch = 0; ch < 2; ++ch) direct.copyFrom(ch, 0, source.samples, ch, 0, 1000);
    juce::MidiBuffer midi;
    for (int start = 0; start < 1015; start += 512) {
        juce::AudioBuffer<float> block(direct.getArrayOfWritePointers(), 2, start, std::min(512, 1015 - start));
        p.processBlock(block, midi);
    }
    ASSERT_EQ(rendered.samples.getNumSamples(), 1000);
    for (int ch = 0; ch < 2; ++ch)
        for (int n = 0; n < 1000; ++n) ASSERT_EQ(rendered.samples.getSample(ch, n), direct.getSample(ch, n + 15)) << ch << " " << n;
}

TEST(Render, SettingsReachTheProcessor) {
    const std::string in = tempFile("settings.wav");
    writeWav(in, 1, 1000, 44100.0, 16);
    RenderOptions quiet = options(in, tempFile("quiet.wav")), loud = options(in, tempFile("loud.wav"));
    quiet.outputLevel = 0.0f;
    loud.outputLevel = 1.0f;
    RenderSummary sq, sl;
    std::string error;
    ASSERT_TRUE(renderFile(quiet, sq, error)) << error;
    ASSERT_TRUE(renderFile(loud, sl, error)) << error;
    // Output 0 → −6.54 dB, Output 1 → +16 dB: 22.54 dB apart.
    EXPECT_NEAR(sl.peakDb - sq.peakDb, 22.54, 0.01);

    // A saved bank as the program: its current program's Output is used.
    auto p = makeProcessor();
    p->setCurrentProgram(2);
    p->setParameter(kOutput, 1.0f);
    juce::MemoryBlock state;
    p->getStateInformation(state);
    const std::string bank = tempFile("bank.bin");
    juce::File(bank).replaceWithData(state.getData(), state.getSize());
    RenderOptions fromBank = options(in, tempFile("bank.wav"));
    fromBank.programFile = bank;
    RenderSummary sb;
    ASSERT_TRUE(renderFile(fromBank, sb, error)) << error;
    EXPECT_EQ(sb.peakDb, sl.peakDb);

    // The same as a document.
    const std::string xml = tempFile("bank.xml");
    std::ofstream(xml) << "<qix cprog=\"0\"><programs><program out=\"1\"/></programs></qix>";
    fromBank.programFile = xml;
    ASSERT_TRUE(renderFile(fromBank, sb, error)) << error;
    EXPECT_EQ(sb.peakDb, sl.peakDb);
}

TEST(Render, FailuresLeaveNoOutput) {
    const std::string good = tempFile("good.wav");
    writeWav(good, 1, 500, 44100.0, 16);
    const std::string rate32k = tempFile("32k.wav");
    writeWav(rate32k, 1, 500, 32000.0, 16);
    const std::string garbage = tempFile("garbage.wav");
    std::ofstream(garbage) << "RIFF but not really a wave file";
    const std::string quad = tempFile("quad.wav");
    writeWav(quad, 4, 100, 44100.0, 16);

    struct Case {
        const char* what;
        RenderOptions o;
        const char* mentions;
    };
    std::vector<Case> cases;
    cases.push_back({"missing input", options(tempFile("absent.wav"), tempFile("o1.wav")), "cannot read"});
    cases.push_back({"not a wave file", options(garbage, tempFile("o2.wav")), "cannot read"});
    cases.push_back({"four channels", options(quad, tempFile("o3.wav")), "channels"});
    RenderOptions noFolder = options(good, tempFile("o4.wav"));
    noFolder.modelFolder = tempFile("no_models_here");
    cases.push_back({"missing model folder", noFolder, "no model folder"});
    cases.push_back({"rate without models", options(rate32k, tempFile("o5.wav")), "32000 Hz with no oversampling and fresh tubes"});
    RenderOptions at2x = options(rate32k, tempFile("o8.wav"));
    at2x.oversampling = 2;
    cases.push_back({"rate without models, listed", at2x, "supported host rates: 22050, 24000, 44100, 48000, 88200"});
    RenderOptions badProgram = options(good, tempFile("o6.wav"));
    badProgram.programFile = garbage;
    cases.push_back({"unreadable program", badProgram, "program file"});
    RenderOptions noDirectory = options(good, tempFile("no_dir/o7.wav"));
    cases.push_back({"output folder missing", noDirectory, "cannot write"});

    for (const Case& c : cases) {
        RenderSummary s;
        std::string error;
        EXPECT_FALSE(renderFile(c.o, s, error)) << c.what;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << c.what << ": " << error;
        EXPECT_FALSE(fs::exists(c.o.output)) << c.what;
        EXPECT_FALSE(fs::exists(c.o.output + ".partial")) << c.what;
    }
}

} // namespace
} // namespace torvik
