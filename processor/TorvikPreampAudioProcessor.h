#pragma once

#include "model/ModelChain.h"
#include "model/TubeFamily.h"
#include "processor/BypassDelay.h"
#include "processor/LevelSnapshot.h"
#include "processor/ProcessorEvents.h"
#include "processor/ProgramRecord.h"
#include "processor/StateDocument.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace torvik {

// The object the host talks to: ten parameters kept in the current one of twelve programs, two
// per-channel model chains, and the reconfiguration every parameter or program change needs.
//
// Threads: processBlock runs on the audio thread under the callback lock (held by the plug-in
// adapter, which clears the outputs while processing is suspended). Parameter, program and state
// calls may come from any other thread; they are serialised among themselves, and whatever reloads
// files, changes the running rate or moves the gain pot runs with processing suspended. Gains and
// tone positions change while audio runs: the gains are atomics, tone positions are handed to the
// chains' tone blocks and taken at their next step.
class TorvikPreampAudioProcessor : public juce::AudioProcessor, public juce::ChangeBroadcaster {
public:
    static constexpr int kLatencyWithOversampling = 15;  // host samples, at every factor

    // Model files from the folder beside the binary this code is linked into.
    TorvikPreampAudioProcessor();
    // Model files from `modelFolder`; `events` (not owned, may be null) hears every reconfiguration
    // step from construction on.
    explicit TorvikPreampAudioProcessor(std::string modelFolder, ProcessorEvents* events = nullptr);
    ~TorvikPreampAudioProcessor() override;

    const juce::String getName() const override;
    void prepareToPlay(double rate, int blockSize) override;
    void releaseResources() override;
    bool isBusesLayoutSupported(const BusesLayout& layouts) const override;
    void processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    void processBlockBypassed(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool hasEditor() const override;
    // Defined by the editor library (editor/CreateEditor.cpp), which every binary with this
    // processor links.
    juce::AudioProcessorEditor* createEditor() override;

    // The host's index-based parameter and channel interface.
    const juce::String getInputChannelName(int channelIndex) const override;
    const juce::String getOutputChannelName(int channelIndex) const override;
    bool isInputChannelStereoPair(int index) const override;
    bool isOutputChannelStereoPair(int index) const override;
    bool silenceInProducesSilenceOut() const override;
    int getNumParameters() override;
    const juce::String getParameterName(int index) override;
    float getParameter(int index) override;
    const juce::String getParameterText(int index) override;
    void setParameter(int index, float hostValue) override;
    bool isParameterAutomatable(int index) const override;
    // Stable identifiers for hosts that name parameters (LV2 property URIs, VST3 parameter ids):
    // the state document's keys. JUCE's default, the index as text, makes every LV2 parameter
    // the same property ("0" to "9" all become "_" in the plug-in's description).
    juce::String getParameterID(int index) override;
    // The built-in default bank's values: 0.5 for the levels, Gain and tone, 0 for the rest.
    float getParameterDefaultValue(int index) override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram(int index) override;
    const juce::String getProgramName(int index) override;
    void changeProgramName(int index, const juce::String& name) override;

    void getStateInformation(juce::MemoryBlock& dest) override;
    void setStateInformation(const void* data, int size) override;

    // Internal value of a parameter of the current program (units of the parameter table).
    float internalValue(int index) const;
    // The same for any program; 0 for indices out of range.
    float programValue(int program, int index) const;
    int hostSampleRate() const { return sampleRate; }
    int currentOversamplingFactor() const { return oversamplingFactor; }
    bool stereoRoutineSelected() const { return stereoSelected; }
    double currentInputGain() const { return inputGain.load(std::memory_order_relaxed); }
    double currentOutputGain() const { return outputGain.load(std::memory_order_relaxed); }
    const std::string& modelFolder() const { return modelFolder_; }
    // Every model file of the current configuration was taken; otherwise the output is silent.
    bool modelsReady() const { return modelsReady_; }
    // Why files of the current configuration were refused (empty when modelsReady()).
    std::vector<std::string> modelProblems() const;
    ModelChain& chain(int index) { return chains[index]; }
    // Block 4's level statistics of a chain as the last audio block left them; for the editor's
    // glow, readable from any thread without holding up the audio thread. False, with `levels`
    // untouched, if the audio thread was publishing all the while (the caller keeps its last copy).
    bool readBlockLevels(int chainIndex, BlockLevels& levels) const;

private:
    using Routine = void (TorvikPreampAudioProcessor::*)(juce::AudioBuffer<float>&, int);

    void storeInternal(int index, float value);
    void selectProcessRoutine();
    void loadBlock(int chainIndex, int block, const std::string& path);
    void reloadThirdStage();
    void applyTone();
    void suspend(bool shouldSuspend);
    void broadcastChange();
    TubeFamily currentFamily() const;
    long runningRate() const;
    void updateModelsReady();

    // Processing routines (ProcessRoutines.cpp); one per channel mode and factor.
    void processNothing(juce::AudioBuffer<float>& buffer, int n);
    template <int L> void processMono(juce::AudioBuffer<float>& buffer, int n);
    template <int L> void processStereo(juce::AudioBuffer<float>& buffer, int n);
    void processMonoX1(juce::AudioBuffer<float>& buffer, int n);
    void processMonoX2(juce::AudioBuffer<float>& buffer, int n);
    void processMonoX4(juce::AudioBuffer<float>& buffer, int n);
    void processMonoX8(juce::AudioBuffer<float>& buffer, int n);
    void processMonoX16(juce::AudioBuffer<float>& buffer, int n);
    void processStereoX1(juce::AudioBuffer<float>& buffer, int n);
    void processStereoX2(juce::AudioBuffer<float>& buffer, int n);
    void processStereoX4(juce::AudioBuffer<float>& buffer, int n);
    void processStereoX8(juce::AudioBuffer<float>& buffer, int n);
    void processStereoX16(juce::AudioBuffer<float>& buffer, int n);
    static Routine routineFor(bool stereo, int factor);

    std::unique_ptr<ProgramBank> programs;
    std::atomic<int> currentProgram{0};
    std::array<ModelChain, 2> chains;
    // Each channel's samples at the running rate, a run of host samples at a time.
    static constexpr int kWorkHostSamples = 64;
    std::array<std::array<double, kWorkHostSamples * 16>, 2> work_{};
    int sampleRate = 44100;
    int oversamplingFactor = 1;
    bool stereoSelected = false;
    std::atomic<double> inputGain{0.0};
    std::atomic<double> outputGain{0.0};
    Routine processRoutine = &TorvikPreampAudioProcessor::processNothing;

    std::string modelFolder_;
    ProcessorEvents* events_ = nullptr;
    std::recursive_mutex controlMutex_;   // parameter, program and state changes
    mutable std::mutex namesMutex_;       // program names; held for nothing else
    std::array<std::array<std::string, 4>, 2> loadProblems_;  // per chain and block; empty = taken
    std::array<std::string, 4> firstChainPaths_;               // the file each block of chain 0 holds
    bool modelsReady_ = false;
    BypassDelay bypassDelay_;
    std::array<LevelSnapshot, 2> levels_;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(TorvikPreampAudioProcessor)
};

} // namespace torvik
