#pragma once

#include <optional>
#include <string>

namespace torvik {

// The ten automatable parameters. Inside the processor every value is held in internal units
// (positions, levels, codes); the host sees 0..1 values and the two-state parameters as ±0.5.
enum ParameterIndex : int {
    kTubeSet = 0,       // 0 fresh, 1 aged
    kInput = 1,         // level 0..49
    kGain = 2,          // pot position 0..16
    kTreble = 3,        // pot position 0..14
    kMiddle = 4,        // pot position 0..14
    kBass = 5,          // pot position 0..14
    kOutput = 6,        // level 0..49
    kOversampling = 7,  // code 0..4: factor 1, 2, 4, 8, 16
    kChannelMode = 8,   // 0 mono, 1 stereo
    kShowSettings = 9,  // editor page flag
    kParameterCount = 10
};

struct ParameterInfo {
    const char* name;  // shown by the host
    const char* key;   // attribute in the state document
    float maximum;     // internal values run from 0 to this
};

bool isParameterIndex(int index);
const ParameterInfo& parameterInfo(int index);

// Host value -> internal value, in single precision, clamped to the parameter's range. NaN gives
// nothing: such a value is not stored.
std::optional<float> internalFromHost(int index, float hostValue);

// Internal value -> the value reported to the host (and written to the state document).
float reportedFromInternal(int index, float internal);

// The text the host shows for an internal value.
std::string parameterValueText(int index, float internal);

// Oversampling code -> factor 1, 2, 4, 8 or 16.
int oversamplingFactorForCode(int code);

} // namespace torvik
