// The audio path: processBlock and the ten routines, one per channel mode and oversampling factor.
// Each is a straight loop; the configuration was resolved when the routine was selected.
#include "processor/TorvikPreampAudioProcessor.h"

#include <algorithm>
#include <cstring>

namespace torvik {

namespace {

// Host samples (times the input gain) into the chain's running rate.
template <int L>
inline void toRunningRate(ModelChain& chain, const float* in, double gain, int m, double* work) {
    if constexpr (L == 1) {
        for (int j = 0; j < m; ++j) work[j] = static_cast<double>(in[j]) * gain;
    } else {
        Interpolator<L>& up = chain.interpolator<L>();
        for (int j = 0; j < m; ++j) {
            up.push(static_cast<double>(in[j]) * gain);
            for (int phase = 0; phase < L; ++phase) work[j * L + phase] = up.nextPhase();
        }
    }
}

// The chain's output back to host samples, times the output gain.
template <int L>
inline void toHostRate(ModelChain& chain, const double* work, double gain, int m, float* out) {
    if constexpr (L == 1) {
        for (int j = 0; j < m; ++j) out[j] = static_cast<float>(work[j] * gain);
    } else {
        Decimator<L>& down = chain.decimator<L>();
        for (int j = 0; j < m; ++j) {
            for (int phase = 0; phase < L; ++phase) down.push(work[j * L + phase]);
            out[j] = static_cast<float>(down.output() * gain);
        }
    }
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
    double* work = work_[0].data();
    for (int start = 0; start < n; start += kWorkHostSamples) {
        const int m = std::min(kWorkHostSamples, n - start);
        toRunningRate<L>(chain, samples + start, inputGain.load(std::memory_order_relaxed), m, work);
        chain.process(work, m * L);
        toHostRate<L>(chain, work, outputGain.load(std::memory_order_relaxed), m, samples + start);
    }
    if (getTotalNumInputChannels() >= 2 && buffer.getNumChannels() >= 2)
        std::memcpy(buffer.getWritePointer(1), samples, sizeof(float) * static_cast<std::size_t>(n));
}

template <int L>
void TorvikPreampAudioProcessor::processStereo(juce::AudioBuffer<float>& buffer, int n) {
    if (buffer.getNumChannels() < 2) return processMono<L>(buffer, n);
    float* left = buffer.getWritePointer(0);
    float* right = buffer.getWritePointer(1);
    for (int start = 0; start < n; start += kWorkHostSamples) {
        const int m = std::min(kWorkHostSamples, n - start);
        const double in = inputGain.load(std::memory_order_relaxed);
        toRunningRate<L>(chains[0], left + start, in, m, work_[0].data());
        toRunningRate<L>(chains[1], right + start, in, m, work_[1].data());
        ModelChain::processPair(chains[0], work_[0].data(), chains[1], work_[1].data(), m * L);
        const double out = outputGain.load(std::memory_order_relaxed);
        toHostRate<L>(chains[0], work_[0].data(), out, m, left + start);
        toHostRate<L>(chains[1], work_[1].data(), out, m, right + start);
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
