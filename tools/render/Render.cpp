#include "tools/render/Render.h"

#include "model/ModelFileNames.h"
#include "processor/HostCall.h"
#include "processor/ModelLocation.h"
#include "processor/TorvikPreampAudioProcessor.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <set>

namespace torvik {

namespace {

namespace fs = std::filesystem;

int oversamplingCode(int factor) {
    switch (factor) {
    case 2: return 1;
    case 4: return 2;
    case 8: return 3;
    case 16: return 4;
    default: return 0;
    }
}

// Host rates this folder has block 3 files for at a factor, for the message about a rate it lacks.
std::string supportedRates(const std::string& folder, TubeFamily family, int factor) {
    const std::string prefix = modelFileName(family, 3, 0).substr(0, modelFileName(family, 3, 0).size() - 1);
    std::set<long> rates;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const long running = std::stol(digits);
        if (running % factor == 0) rates.insert(running / factor);
    }
    std::string list;
    for (long r : rates) list += (list.empty() ? "" : ", ") + std::to_string(r);
    return list.empty() ? "none" : list + " Hz";
}

bool readProgramFile(const std::string& path, juce::MemoryBlock& block, std::string& error) {
    const juce::File file(path);
    if (!file.existsAsFile() || !file.loadFileAsData(block)) {
        error = "cannot read the program file " + path;
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(block.getData());
    const bool stateBlock = block.getSize() > 8 && bytes[0] == 0x56 && bytes[1] == 0x43 && bytes[2] == 0x32 && bytes[3] == 0x21;
    if (stateBlock) return true;
    std::unique_ptr<juce::XmlElement> document = juce::parseXML(block.toString());
    if (document == nullptr || !readBankDocument(*document)) {
        error = "the program file " + path + " is neither a saved state nor a \"qix\" document";
        return false;
    }
    writeStateBlock(*document, block);
    return true;
}

void configure(TorvikPreampAudioProcessor& p, const RenderOptions& o, const juce::MemoryBlock& program) {
    if (program.getSize() > 0) p.setStateInformation(program.getData(), static_cast<int>(program.getSize()));
    else p.setCurrentProgram(p.getCurrentProgram());  // at the file's rate and channel count
    if (o.tubes) p.setParameter(kTubeSet, *o.tubes == TubeFamily::Aged ? 0.5f : -0.5f);
    if (o.oversampling) p.setParameter(kOversampling, static_cast<float>(oversamplingCode(*o.oversampling)) * 0.25f);
    if (o.stereo) p.setParameter(kChannelMode, 0.5f);
    if (o.inputLevel) p.setParameter(kInput, *o.inputLevel);
    if (o.gain) p.setParameter(kGain, *o.gain);
    if (o.treble) p.setParameter(kTreble, *o.treble);
    if (o.middle) p.setParameter(kMiddle, *o.middle);
    if (o.bass) p.setParameter(kBass, *o.bass);
    if (o.outputLevel) p.setParameter(kOutput, *o.outputLevel);
}

std::string modelsError(TorvikPreampAudioProcessor& p, int sampleRate) {
    const std::string& folder = p.modelFolder();
    if (!fs::is_directory(folder))
        return "no model folder at " + folder + " (build the model data set: cmake --build build --target torvik_model_set)";
    const TubeFamily family = p.internalValue(kTubeSet) != 0.0f ? TubeFamily::Aged : TubeFamily::Fresh;
    const int factor = p.currentOversamplingFactor();
    const long running = static_cast<long>(sampleRate) * factor;
    if (!fs::exists(modelFilePath(folder, family, 3, running)))
        return "no model files for " + std::to_string(sampleRate) + " Hz with " + (factor == 1 ? "no" : "x" + std::to_string(factor)) +
               " oversampling and " + (family == TubeFamily::Aged ? "aged" : "fresh") + " tubes in " + folder +
               "; supported host rates: " + supportedRates(folder, family, factor);
    std::string problems;
    for (const std::string& problem : p.modelProblems())
        if (problems.find(problem) == std::string::npos) problems += (problems.empty() ? "" : "; ") + problem;
    return "model files refused: " + problems;
}

double toDb(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -999.0; }

} // namespace

bool renderFile(const RenderOptions& o, RenderSummary& summary, std::string& error,
                const std::function<void(double)>& progress) {
    juce::WavAudioFormat wav;
    juce::AiffAudioFormat aiff;
    const juce::File inFile = juce::File::getCurrentWorkingDirectory().getChildFile(juce::String(o.input));
    std::unique_ptr<juce::AudioFormatReader> reader;
    if (auto stream = inFile.createInputStream()) {
        juce::AudioFormat* format = inFile.hasFileExtension("aif;aiff") ? static_cast<juce::AudioFormat*>(&aiff) : &wav;
        reader.reset(format->createReaderFor(stream.release(), true));
    }
    if (reader == nullptr) {
        error = "cannot read " + o.input + ": not a readable WAV or AIFF file";
        return false;
    }
    const int channels = static_cast<int>(reader->numChannels);
    const double rate = reader->sampleRate;
    if (channels < 1 || channels > 2 || !(rate >= 1000.0 && rate <= 1.0e6) || rate != std::floor(rate)) {
        error = "cannot render " + o.input + ": " + std::to_string(channels) + " channels at " + std::to_string(rate) +
                " Hz (mono or stereo at a whole-numbered rate are supported)";
        return false;
    }

    juce::MemoryBlock program;
    if (!o.programFile.empty() && !readProgramFile(o.programFile, program, error)) return false;

    auto processor = std::make_unique<TorvikPreampAudioProcessor>(o.modelFolder.empty() ? defaultModelFolder() : o.modelFolder);
    TorvikPreampAudioProcessor& p = *processor;
    p.setPlayConfigDetails(channels, channels, rate, o.blockSize);
    p.prepareToPlay(rate, o.blockSize);
    configure(p, o, program);
    if (!p.modelsReady()) {
        error = modelsError(p, static_cast<int>(rate));
        return false;
    }

    // Written beside the destination and moved there only when complete.
    const juce::File outFile = juce::File::getCurrentWorkingDirectory().getChildFile(juce::String(o.output));
    const juce::File partial = outFile.getSiblingFile(outFile.getFileName() + ".partial");
    std::unique_ptr<juce::AudioFormatWriter> writer;
    if (outFile.getParentDirectory().isDirectory()) {
        partial.deleteFile();
        if (auto stream = partial.createOutputStream())
            writer.reset(wav.createWriterFor(stream.release(), rate, static_cast<unsigned>(channels), 32, {}, 0));
    }
    if (writer == nullptr) {
        partial.deleteFile();
        error = "cannot write " + o.output;
        return false;
    }

    const juce::int64 length = reader->lengthInSamples;
    const int latency = p.getLatencySamples();
    const juce::int64 total = length + latency;
    juce::AudioBuffer<float> buffer(channels, o.blockSize);
    juce::MidiBuffer midi;
    double peak = 0.0, sumSquares = 0.0;
    bool written = true;
    const auto start = std::chrono::steady_clock::now();
    for (juce::int64 done = 0; done < total && written;) {
        const int n = static_cast<int>(std::min<juce::int64>(o.blockSize, total - done));
        buffer.setSize(channels, n, false, false, true);
        buffer.clear();
        if (done < length)
            reader->read(&buffer, 0, static_cast<int>(std::min<juce::int64>(n, length - done)), done, true, true);
        processBlockAsHost(p, buffer, midi);
        // The first `latency` samples precede the input's first sample: dropped.
        const int skip = static_cast<int>(std::clamp<juce::int64>(latency - done, 0, n));
        for (int ch = 0; ch < channels; ++ch)
            for (int j = skip; j < n; ++j) {
                const double s = buffer.getSample(ch, j);
                peak = std::max(peak, std::abs(s));
                sumSquares += s * s;
            }
        if (n > skip) {
            juce::AudioBuffer<float> kept(buffer.getArrayOfWritePointers(), channels, skip, n - skip);
            written = writer->writeFromAudioSampleBuffer(kept, 0, n - skip);
        }
        done += n;
        if (progress) progress(static_cast<double>(done) / static_cast<double>(std::max<juce::int64>(total, 1)));
    }
    const auto stop = std::chrono::steady_clock::now();
    writer.reset();  // completes the header
    if (!written || !partial.moveFileTo(outFile)) {
        partial.deleteFile();
        error = "cannot write " + o.output;
        return false;
    }

    summary.channels = channels;
    summary.sampleRate = rate;
    summary.latency = latency;
    summary.seconds = static_cast<double>(length) / rate;
    summary.elapsed = std::chrono::duration<double>(stop - start).count();
    summary.peakDb = toDb(peak);
    summary.rmsDb = length > 0 ? toDb(std::sqrt(sumSquares / (static_cast<double>(length) * channels))) : -999.0;
    return true;
}

} // namespace torvik
