#include "processor/Parameters.h"

#include <cmath>
#include <cstdio>

namespace torvik {

namespace {

const ParameterInfo kParameters[kParameterCount] = {
    {"Dual Triodes", "model", 1.0f}, {"Input", "in", 49.0f},      {"Gain", "gain", 16.0f},
    {"Treble", "trbl", 14.0f},       {"Middle", "mdl", 14.0f},    {"Bass", "bas", 14.0f},
    {"Output", "out", 49.0f},        {"Oversampling", "ovrsmplng", 4.0f},
    {"Mono/Stereo", "stro", 1.0f},   {"Show settings", "showset", 1.0f},
};

bool isTwoState(int index) { return index == kTubeSet || index == kChannelMode || index == kShowSettings; }
bool isLevel(int index) { return index == kInput || index == kOutput; }

// "0.50", "-1.25": two decimals, rounded half up on the magnitude.
std::string twoDecimals(float value) {
    const auto hundredths = static_cast<long long>(std::fabs(static_cast<double>(value)) * 100.0 + 0.5);
    char text[48];
    std::snprintf(text, sizeof text, "%s%lld.%02lld", value < 0.0f ? "-" : "", hundredths / 100, hundredths % 100);
    return text;
}

const char* listedText(int index, float internal) {
    static const char* const tubes[] = {"Fresh 12ax7", "Aged  12ax7"};
    static const char* const factors[] = {"none", "x2", "x4", "x8", "x16"};
    static const char* const modes[] = {"Mono", "Stereo"};
    static const char* const flags[] = {"false", "true"};
    const float v = index == kTubeSet ? std::trunc(internal + 0.5f) : internal;
    if (!(v >= 0.0f && v <= 4.0f) || v != std::trunc(v)) return nullptr;
    const int k = static_cast<int>(v);
    switch (index) {
    case kTubeSet: return k <= 1 ? tubes[k] : nullptr;
    case kOversampling: return factors[k];
    case kChannelMode: return k <= 1 ? modes[k] : nullptr;
    case kShowSettings: return k <= 1 ? flags[k] : nullptr;
    default: return nullptr;
    }
}

} // namespace

bool isParameterIndex(int index) { return index >= 0 && index < kParameterCount; }

const ParameterInfo& parameterInfo(int index) { return kParameters[index]; }

std::optional<float> internalFromHost(int index, float x) {
    if (!isParameterIndex(index) || std::isnan(x)) return std::nullopt;
    const float maximum = kParameters[index].maximum;
    float scaled;
    if (isTwoState(index)) scaled = x + 0.5f;
    else if (isLevel(index)) scaled = 49.0f * x;
    else if (index == kGain) scaled = 16.0f * x;
    else if (index == kOversampling) scaled = 4.0f * x;
    else scaled = 14.0f * x;
    if (!(scaled > 0.0f)) scaled = 0.0f;
    if (scaled > maximum) scaled = maximum;
    return isLevel(index) ? scaled : std::trunc(scaled);
}

float reportedFromInternal(int index, float v) {
    if (isTwoState(index)) return v - 0.5f;
    if (isLevel(index)) return v / 49.0f;
    if (index == kGain) return v * 0.0625f;
    if (index == kOversampling) return v * 0.25f;
    if (index == kTreble || index == kMiddle || index == kBass) return v / 14.0f;
    return 0.0f;
}

std::string parameterValueText(int index, float internal) {
    if (!isParameterIndex(index)) return {};
    if (const char* text = listedText(index, internal)) return text;
    char general[32];
    std::snprintf(general, sizeof general, "%g", static_cast<double>(internal));
    return twoDecimals(reportedFromInternal(index, internal)) + "=>" + general;
}

int oversamplingFactorForCode(int code) {
    switch (code) {
    case 1: return 2;
    case 2: return 4;
    case 3: return 8;
    case 4: return 16;
    default: return 1;
    }
}

} // namespace torvik
