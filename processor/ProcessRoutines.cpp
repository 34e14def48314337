// The audio path: processBlock and the ten routines, one per channel mode and oversampling factor.
// Each is a straight loop; the configuration was resolved when the routine was selected.
#include "processor/TorvikPreampAudioProcessor.h"

#include <cstring>

namespace torvik {

namespace {

// One host sample through a chain at L times the host rate.
template <int L>
inline double processOversampled(ModelChain& chain, double u) {
    Interpolator<L>& up = chain.interpolator<L>();
    Decimator<L>& down = chain.decimator<L>();
    up.push(u);
    for (int phase = 0; phase < L; ++phase) down.push(chain.processSample(up.nextPhase()));
    return down.output();
}

template <int L>
inline double chainStep(ModelChain& chain, double u) {
    if constexpr (L == 1) return chain.processSample(u);
    else return processOversampled<L>(chain, u);
}

} // namespace

void TorvikPreampAudioProcessor::processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer&) {
    const juce::ScopedNoDenormals noDenormals;
    const int n = buffer.getNumSamples();
    if (n <= 0) return;
    if (modelsReady_) {
        (this->*processRoutine)(buffer, n);
        for (int c = 0; c < 2; ++c) levels_[c].publish(chains[c].b4().statistics);
    } else {
        for (int ch = 0; ch < std::min(getTotalNumInputChannels(), buffer.getNumChannels()); ++ch) buffer.clear(ch, 0, n);
        for (LevelSnapshot& levels : levels_) levels.publishSilence();  // cold valves while nothing passes
    }
    for (int ch = getTotalNumInputChannels(); ch < std::min(getTotalNumOutputChannels(), buffer.getNumChannels()); ++ch)
        buffer.clear(ch, 0, n);
}

void TorvikPreampAudioProcessor::processBlockBypassed(juce::AudioBuffer<float>& buffer, juce::MidiBuffer&) {
    const int n = buffer.getNumSamples();
    const int ins = std::min(getTotalNumInputChannels(), buffer.getNumChannels());
    for (int ch = 0; ch < ins; ++ch) bypassDelay_.process(buffer.getWritePointer(ch), n, ch);
    for (LevelSnapshot& levels : levels_) levels.publishSilence();
    for (int ch = ins; ch < std::min(getTotalNumOutputChannels(), buffer.getNumChannels()); ++ch) buffer.clear(ch, 0, n);
}

void TorvikPreampAudioProcessor::processNothing(juce::AudioBuffer<float>&, int) {}

template <int L>
void TorvikPreampAudioProcessor::processMono(juce::AudioBuffer<float>& buffer, int n) {
    float* samples = buffer.getWritePointer(0);
    ModelChain& chain = chains[0];
    for (int j = 0; j < n; ++j) {
        const double in = static_cast<double>(samples[j]) * inputGain.load(std::memory_order_relaxed);
        samples[j] = static_cast<float>(chainStep<L>(chain, in) * outputGain.load(std::memory_order_relaxed));
    }
    if (getTotalNumInputChannels() >= 2 && buffer.getNumChannels() >= 2)
        std::memcpy(buffer.getWritePointer(1), samples, sizeof(float) * static_cast<std::size_t>(n));
}

template <int L>
void TorvikPreampAudioProcessor::processStereo(juce::AudioBuffer<float>& buffer, int n) {
    if (buffer.getNumChannels() < 2) return processMono<L>(buffer, n);
    float* left = buffer.getWritePointer(0);
    float* right = buffer.getWritePointer(1);
    ModelChain& chainL = chains[0];
    ModelChain& chainR = chains[1];
    for (int j = 0; j < n; ++j) {
        const double inL = static_cast<double>(left[j]) * inputGain.load(std::memory_order_relaxed);
        left[j] = static_cast<float>(chainStep<L>(chainL, inL) * outputGain.load(std::memory_order_relaxed));
        const double inR = static_cast<double>(right[j]) * inputGain.load(std::memory_order_relaxed);
        right[j] = static_cast<float>(chainStep<L>(chainR, inR) * outputGain.load(std::memory_order_relaxed));
    }
}

void TorvikPreampAudioProcessor::processMonoX1(juce::AudioBuffer<float>& b, int n) { processMono<1>(b, n); }
void TorvikPreampAudioProcessor::processMonoX2(juce::AudioBuffer<float>& b, int n) { processMono<2>(b, n); }
void TorvikPreampAudioProcessor::processMonoX4(juce::AudioBuffer<float>& b, int n) { processMono<4>(b, n); }
void TorvikPreampAudioProcessor::processMonoX8(juce::AudioBuffer<float>& b, int n) { processMono<8>(b, n); }
void TorvikPreampAudioProcessor::processMonoX16(juce::AudioBuffer<float>& b, int n) { processMono<16>(b, n); }
void TorvikPreampAudioProcessor::processStereoX1(juce::AudioBuffer<float>& b, int n) { processStereo<1>(b, n); }
void TorvikPreampAudioProcessor::processStereoX2(juce::AudioBuffer<float>& b, int n) { processStereo<2>(b, n); }
void TorvikPreampAudioProcessor::processStereoX4(juce::AudioBuffer<float>& b, int n) { processStereo<4>(b, n); }
void TorvikPreampAudioProcessor::processStereoX8(juce::AudioBuffer<float>& b, int n) { processStereo<8>(b, n); }
void TorvikPreampAudioProcessor::processStereoX16(juce::AudioBuffer<float>& b, int n) { processStereo<16>(b, n); }

TorvikPreampAudioProcessor::Routine TorvikPreampAudioProcessor::routineFor(bool stereo, int factor) {
    using P = TorvikPreampAudioProcessor;
    switch (factor) {
    case 2: return stereo ? &P::processStereoX2 : &P::processMonoX2;
    case 4: return stereo ? &P::processStereoX4 : &P::processMonoX4;
    case 8: return stereo ? &P::processStereoX8 : &P::processMonoX8;
    case 16: return stereo ? &P::processStereoX16 : &P::processMonoX16;
    default: return stereo ? &P::processStereoX1 : &P::processMonoX1;
    }
}

} // namespace torvik
