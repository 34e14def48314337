#pragma once

#include <cstring>

namespace torvik::host {

// What a VST 2.4 host is told beyond what JUCE's wrapper answers by itself.
constexpr int kVendorVersion = 130;  // 1.3.0 as major·100 + minor·10 + bugfix

// Host buffer sizes for texts, terminating zero included.
constexpr int kNameBytes = 64;           // effect name, product, vendor
constexpr int kProgramNameBytes = 24;    // program names, parameter value texts
constexpr int kParameterNameBytes = 16;
constexpr int kParameterLabelBytes = 8;

// Copies the zero-terminated UTF-8 `text` into `dest` of `capacity` bytes (at least 1), cut so
// that it fits with its terminating zero and ends on a whole character.
inline void copyCut(char* dest, int capacity, const char* text) {
    int n = 0;
    while (text[n] != '\0' && n < capacity - 1) ++n;
    if (text[n] != '\0')  // cut: step back over a partial multi-byte character
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(dest, text, static_cast<std::size_t>(n));
    dest[n] = '\0';
}

// effCanDo: -1 for the MIDI capabilities the plug-in lacks and for opening its window from any
// thread, 1 for time info, window rules and bypass, 0 for anything else (null included).
inline int canDo(const char* text) {
    if (text == nullptr) return 0;
    static constexpr const char* refused[] = {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstMidiEvents",
                                              "sendVstEvents",    "sendVstMidiEvent",    "sendVstMidiEvents",
                                              "openCloseAnyThread"};
    static constexpr const char* granted[] = {"receiveVstTimeInfo", "conformsToWindowRules", "bypass"};
    for (const char* t : refused)
        if (std::strcmp(text, t) == 0) return -1;
    for (const char* t : granted)
        if (std::strcmp(text, t) == 0) return 1;
    return 0;
}

} // namespace torvik::host
