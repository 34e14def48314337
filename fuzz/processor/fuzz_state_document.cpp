// Arbitrary bytes as a saved state: the processor must neither crash nor leave any value outside
// its range, and whatever it then writes must read back to the same bank.
#include "processor/TorvikPreampAudioProcessor.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace torvik;

namespace {

TorvikPreampAudioProcessor& processor() {
    // No model files: loads fail at once and the fuzzer spends its time in the state reader.
    static auto* p = new TorvikPreampAudioProcessor("/nonexistent/torvik-fuzz-models");
    return *p;
}

void check(bool condition) {
    if (!condition) std::abort();
}

void checkRanges(TorvikPreampAudioProcessor& p) {
    check(p.getCurrentProgram() >= 0 && p.getCurrentProgram() < 12);
    for (int program = 0; program < 12; ++program)
        for (int index = 0; index < kParameterCount; ++index) {
            const float v = p.programValue(program, index);
            check(v >= 0.0f && v <= parameterInfo(index).maximum);
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    TorvikPreampAudioProcessor& p = processor();
    p.setStateInformation(data, static_cast<int>(size));
    checkRanges(p);

    juce::MemoryBlock first, second;
    p.getStateInformation(first);
    p.setStateInformation(first.getData(), static_cast<int>(first.getSize()));
    checkRanges(p);
    p.getStateInformation(second);
    check(first == second);
    return 0;
}
