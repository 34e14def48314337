#pragma once

#include "processor/Parameters.h"

#include <juce_core/juce_core.h>

#include <array>
#include <atomic>

namespace torvik {

// One program: a name and the ten parameter values in internal units. The current program's
// record is the live parameter set. Values are atomics so that the editor and the host can read
// them from any thread while a control thread writes; the name is guarded by its owner.
struct ProgramRecord {
    juce::String name = "default";
    std::array<std::atomic<float>, kParameterCount> values{};

    ProgramRecord() {
        for (auto& v : values) v.store(0.0f, std::memory_order_relaxed);
        values[kInput].store(25.0f, std::memory_order_relaxed);
        values[kOutput].store(25.0f, std::memory_order_relaxed);
    }

    float value(int index) const { return values[index].load(std::memory_order_relaxed); }
    void setValue(int index, float v) { values[index].store(v, std::memory_order_relaxed); }
};

} // namespace torvik
