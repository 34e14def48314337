#include "processor/TorvikPreampAudioProcessor.h"

#include "model/ModelFileNames.h"
#include "processor/Gains.h"
#include "processor/ModelLocation.h"

#include <cmath>

namespace torvik {

namespace {
unsigned positionOf(float internal) { return static_cast<unsigned>(internal); }
} // namespace

TorvikPreampAudioProcessor::TorvikPreampAudioProcessor() : TorvikPreampAudioProcessor(defaultModelFolder()) {}

TorvikPreampAudioProcessor::TorvikPreampAudioProcessor(std::string modelFolder, ProcessorEvents* events)
    : juce::AudioProcessor(BusesProperties()
                               .withInput("Input", juce::AudioChannelSet::stereo(), true)
                               .withOutput("Output", juce::AudioChannelSet::stereo(), true)),
      programs(std::make_unique<ProgramBank>()),
      modelFolder_(std::move(modelFolder)),
      events_(events) {
    for (auto& problems : loadProblems_) problems.fill("not loaded");
    std::unique_ptr<juce::XmlElement> defaults = juce::parseXML(juce::String::fromUTF8(defaultBankText()));
    juce::MemoryBlock block;
    writeStateBlock(*defaults, block);
    setStateInformation(block.getData(), static_cast<int>(block.getSize()));
}

TorvikPreampAudioProcessor::~TorvikPreampAudioProcessor() = default;

const juce::String TorvikPreampAudioProcessor::getName() const { return "TORVIK Preamp v1.3"; }

void TorvikPreampAudioProcessor::prepareToPlay(double rate, int /*blockSize*/) {
    if (!(rate >= 1.0 && rate <= 16.0e6)) return;
    const int hostRate = static_cast<int>(rate);
    if (hostRate == sampleRate) return;
    sampleRate = hostRate;
    // The chains run at the host rate times the factor and block 3's file carries that rate, so a
    // new host rate is applied like a factor change: the whole program again (files, rate, positions).
    setCurrentProgram(getCurrentProgram());
}

void TorvikPreampAudioProcessor::releaseResources() {}

bool TorvikPreampAudioProcessor::isBusesLayoutSupported(const BusesLayout& layouts) const {
    const int ins = layouts.getMainInputChannels(), outs = layouts.getMainOutputChannels();
    return ins >= 1 && ins <= 2 && outs >= ins && outs <= 2;
}

double TorvikPreampAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool TorvikPreampAudioProcessor::acceptsMidi() const { return false; }
bool TorvikPreampAudioProcessor::producesMidi() const { return false; }
bool TorvikPreampAudioProcessor::hasEditor() const { return true; }

const juce::String TorvikPreampAudioProcessor::getInputChannelName(int channelIndex) const {
    return juce::String(channelIndex + 1);
}
const juce::String TorvikPreampAudioProcessor::getOutputChannelName(int channelIndex) const {
    return juce::String(channelIndex + 1);
}
bool TorvikPreampAudioProcessor::isInputChannelStereoPair(int) const { return true; }
bool TorvikPreampAudioProcessor::isOutputChannelStereoPair(int) const { return true; }
bool TorvikPreampAudioProcessor::silenceInProducesSilenceOut() const { return false; }

int TorvikPreampAudioProcessor::getNumParameters() { return kParameterCount; }

const juce::String TorvikPreampAudioProcessor::getParameterName(int index) {
    return isParameterIndex(index) ? juce::String(parameterInfo(index).name) : juce::String();
}

float TorvikPreampAudioProcessor::internalValue(int index) const {
    return isParameterIndex(index) ? (*programs)[currentProgram.load()].value(index) : 0.0f;
}

float TorvikPreampAudioProcessor::programValue(int program, int index) const {
    if (program < 0 || program >= kProgramCount || !isParameterIndex(index)) return 0.0f;
    return (*programs)[program].value(index);
}

float TorvikPreampAudioProcessor::getParameter(int index) {
    return isParameterIndex(index) ? reportedFromInternal(index, internalValue(index)) : 0.0f;
}

const juce::String TorvikPreampAudioProcessor::getParameterText(int index) {
    return juce::String(parameterValueText(index, internalValue(index)));
}

bool TorvikPreampAudioProcessor::isParameterAutomatable(int) const { return true; }

juce::String TorvikPreampAudioProcessor::getParameterID(int index) {
    return isParameterIndex(index) ? juce::String(parameterInfo(index).key) : juce::String();
}

float TorvikPreampAudioProcessor::getParameterDefaultValue(int index) {
    return index >= kInput && index <= kOutput ? 0.5f : 0.0f;
}

void TorvikPreampAudioProcessor::setParameter(int index, float hostValue) {
    const std::lock_guard<std::recursive_mutex> control(controlMutex_);
    const std::optional<float> v = internalFromHost(index, hostValue);
    if (!v) return;
    ProgramRecord& program = (*programs)[currentProgram.load()];
    if (program.value(index) == *v) return;
    program.setValue(index, *v);

    switch (index) {
    case kTubeSet:
        setCurrentProgram(currentProgram.load());
        break;
    case kInput:
        inputGain.store(inputGainFor(*v), std::memory_order_relaxed);
        break;
    case kGain:
        suspend(true);
        for (int c = 0; c < 2; ++c) {
            chains[c].b1().setGainPosition(positionOf(*v));
            if (events_) events_->gainPositionSet(c, 1, positionOf(*v));
            chains[c].b2().setGainPosition(positionOf(*v));
            if (events_) events_->gainPositionSet(c, 2, positionOf(*v));
        }
        suspend(false);
        break;
    case kTreble:
    case kMiddle:
    case kBass:
        applyTone();
        break;
    case kOutput:
        outputGain.store(outputGainFor(*v), std::memory_order_relaxed);
        break;
    case kOversampling:
    case kChannelMode:
        suspend(true);
        selectProcessRoutine();
        reloadThirdStage();
        for (int c = 0; c < 2; ++c) {
            chains[c].setSampleRate(static_cast<double>(runningRate()));
            if (events_) events_->runningRateSet(c, static_cast<double>(runningRate()));
        }
        for (int c = 0; c < 2; ++c) {
            chains[c].b3().applyPosition();
            if (events_) events_->thirdStagePositionApplied(c);
        }
        updateModelsReady();
        suspend(false);
        break;
    default:
        break;
    }
    broadcastChange();
}

int TorvikPreampAudioProcessor::getNumPrograms() { return kProgramCount; }
int TorvikPreampAudioProcessor::getCurrentProgram() { return currentProgram.load(); }

void TorvikPreampAudioProcessor::setCurrentProgram(int index) {
    if (index < 0 || index >= kProgramCount) return;
    const std::lock_guard<std::recursive_mutex> control(controlMutex_);
    currentProgram.store(index);
    suspend(true);
    selectProcessRoutine();

    const TubeFamily family = currentFamily();
    for (int c = 0; c < 2; ++c)
        for (int block : {1, 2, 4}) loadBlock(c, block, modelFilePath(modelFolder_, family, block));
    reloadThirdStage();
    for (int c = 0; c < 2; ++c) {
        chains[c].setSampleRate(static_cast<double>(runningRate()));
        if (events_) events_->runningRateSet(c, static_cast<double>(runningRate()));
    }

    const ProgramRecord& program = (*programs)[index];
    const unsigned gain = positionOf(program.value(kGain));
    const unsigned tone = toneIndexFor(program.value(kTreble), program.value(kMiddle), program.value(kBass));
    for (int c = 0; c < 2; ++c) {
        ModelChain& chain = chains[c];
        chain.b1().setGainPosition(gain);
        if (events_) events_->gainPositionSet(c, 1, gain);
        chain.b2().setGainPosition(gain);
        if (events_) events_->gainPositionSet(c, 2, gain);
        chain.b3().applyPosition();
        if (events_) events_->thirdStagePositionApplied(c);
        chain.b4().setTonePosition(tone);
        chain.b4().requestTonePosition(tone);  // replaces any request not yet taken by the audio thread
        if (events_) events_->tonePositionSet(c, tone);
    }
    inputGain.store(inputGainFor(program.value(kInput)), std::memory_order_relaxed);
    outputGain.store(outputGainFor(program.value(kOutput)), std::memory_order_relaxed);
    updateModelsReady();
    suspend(false);
}

const juce::String TorvikPreampAudioProcessor::getProgramName(int index) {
    if (index < 0 || index >= kProgramCount) return {};
    const std::lock_guard<std::mutex> names(namesMutex_);
    return (*programs)[index].name;
}

void TorvikPreampAudioProcessor::changeProgramName(int index, const juce::String& name) {
    if (index < 0 || index >= kProgramCount) return;
    const std::lock_guard<std::mutex> names(namesMutex_);
    (*programs)[index].name = name;
}

void TorvikPreampAudioProcessor::getStateInformation(juce::MemoryBlock& dest) {
    const std::lock_guard<std::recursive_mutex> control(controlMutex_);
    std::unique_ptr<juce::XmlElement> document;
    {
        const std::lock_guard<std::mutex> names(namesMutex_);
        document = writeBankDocument(*programs, currentProgram.load());
    }
    broadcastChange();
    writeStateBlock(*document, dest);
}

void TorvikPreampAudioProcessor::setStateInformation(const void* data, int size) {
    const std::lock_guard<std::recursive_mutex> control(controlMutex_);
    const std::unique_ptr<juce::XmlElement> document = readStateBlock(data, size);
    currentProgram.store(0);
    if (document == nullptr) return;
    const std::optional<BankFromDocument> bank = readBankDocument(*document);
    if (!bank) return;
    currentProgram.store(bank->currentProgram);
    for (std::size_t j = 0; j < bank->programs.size(); ++j) {
        ProgramRecord& record = (*programs)[j];
        {
            const std::lock_guard<std::mutex> names(namesMutex_);
            record.name = bank->programs[j].name;
        }
        for (int index = 0; index < kParameterCount; ++index) record.setValue(index, bank->programs[j].values[index]);
    }
    setCurrentProgram(currentProgram.load());
    broadcastChange();
}

bool TorvikPreampAudioProcessor::readBlockLevels(int chainIndex, BlockLevels& levels) const {
    if (chainIndex < 0 || chainIndex > 1) return false;
    return levels_[chainIndex].read(levels);
}

std::vector<std::string> TorvikPreampAudioProcessor::modelProblems() const {
    std::vector<std::string> problems;
    for (const auto& chainProblems : loadProblems_)
        for (const std::string& p : chainProblems)
            if (!p.empty()) problems.push_back(p);
    return problems;
}

void TorvikPreampAudioProcessor::selectProcessRoutine() {
    const ProgramRecord& program = (*programs)[currentProgram.load()];
    stereoSelected = program.value(kChannelMode) != 0.0f && getTotalNumInputChannels() >= 2;
    oversamplingFactor = oversamplingFactorForCode(static_cast<int>(program.value(kOversampling)));
    processRoutine = routineFor(stereoSelected, oversamplingFactor);
    const int latency = oversamplingFactor > 1 ? kLatencyWithOversampling : 0;
    bypassDelay_.setDelay(latency);
    setLatencySamples(latency);
}

// The second chain shares the first chain's read-only networks when both want the same file.
void TorvikPreampAudioProcessor::loadBlock(int chainIndex, int block, const std::string& path) {
    ModelChain& chain = chains[chainIndex];
    const bool share = chainIndex == 1 && firstChainPaths_[block - 1] == path && loadProblems_[0][block - 1].empty();
    auto take = [&](auto& target, auto& first) {
        if (share) {
            target.shareModelOf(first);
            return LoadResult::accepted();
        }
        return target.loadModel(path);
    };
    LoadResult result;
    switch (block) {
    case 1: result = take(chain.b1(), chains[0].b1()); break;
    case 2: result = take(chain.b2(), chains[0].b2()); break;
    case 3: result = take(chain.b3(), chains[0].b3()); break;
    default: result = take(chain.b4(), chains[0].b4()); break;
    }
    if (chainIndex == 0) firstChainPaths_[block - 1] = result.ok ? path : std::string();
    loadProblems_[chainIndex][block - 1] = result.ok ? std::string() : result.message;
    if (events_) events_->modelLoaded(chainIndex, block, path, result.ok);
}

void TorvikPreampAudioProcessor::reloadThirdStage() {
    const std::string path = modelFilePath(modelFolder_, currentFamily(), 3, runningRate());
    for (int c = 0; c < 2; ++c) loadBlock(c, 3, path);
}

void TorvikPreampAudioProcessor::applyTone() {
    const ProgramRecord& program = (*programs)[currentProgram.load()];
    const unsigned tone = toneIndexFor(program.value(kTreble), program.value(kMiddle), program.value(kBass));
    for (int c = 0; c < 2; ++c) {
        chains[c].b4().requestTonePosition(tone);
        if (events_) events_->tonePositionSet(c, tone);
    }
}

void TorvikPreampAudioProcessor::suspend(bool shouldSuspend) {
    suspendProcessing(shouldSuspend);
    if (events_) events_->processingSuspended(shouldSuspend);
}

void TorvikPreampAudioProcessor::broadcastChange() {
    sendChangeMessage();
    if (events_) events_->changeBroadcast();
}

TubeFamily TorvikPreampAudioProcessor::currentFamily() const {
    return internalValue(kTubeSet) != 0.0f ? TubeFamily::Aged : TubeFamily::Fresh;
}

long TorvikPreampAudioProcessor::runningRate() const { return static_cast<long>(oversamplingFactor) * sampleRate; }

void TorvikPreampAudioProcessor::updateModelsReady() {
    bool ready = true;
    for (const auto& chainProblems : loadProblems_)
        for (const std::string& p : chainProblems) ready = ready && p.empty();
    modelsReady_ = ready;
}

} // namespace torvik
