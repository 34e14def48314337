// The VST 2.4 entry point. JUCE's wrapper does the work; it is compiled here under other entry
// names, and the exported VSTPluginMain puts a dispatcher of ours in front of JUCE's that
//  - answers effCanDo from our own table (JUCE would also grant "supportsViewDpiScaling" and
//    "hasCockosExtensions") and effGetVendorVersion as 130 (JUCE would answer 0x10300 for 1.3.0);
//  - passes on the requests the fst headers have no number for (bypass, tail size, ...) under the
//    numbers JUCE was compiled with, so that the "bypass" capability it reports also works;
//  - describes the two input and two output pins itself: fst has no values for the pin flags
//    (JUCE would report every pin inactive and not stereo), and JUCE writes 9 bytes into the
//    8-byte short label at the end of the host's record;
//  - writes no string longer than the host's buffer: JUCE writes one byte past the 24-byte
//    program-name buffer and up to 33 bytes of a parameter name, enough to overrun a host that
//    sizes its buffers as the interface says. Texts are cut at a character boundary instead.
// Everything else goes to JUCE unchanged.
#define VSTPluginMain juceVSTPluginMain
#define main_plugin juceVSTLegacyMain
#include <juce_audio_plugin_client/juce_audio_plugin_client_VST2.cpp>
#undef main_plugin
#undef VSTPluginMain

#include "plugin/HostIdentity.h"

#include <atomic>
#include <cstring>

namespace {

using Dispatcher = Vst2::AEffectDispatcherProc;
std::atomic<Dispatcher> juceDispatcher{nullptr};

// VST 2.4 opcode numbers that the fst headers leave unnamed; JUCE's enum holds placeholders for them.
enum HostOpcode : int {
    hostSetBypass = 44,
    hostGetTailSize = 52,
    hostKeysRequired = 57,
    hostGetNumMidiInputChannels = 78,
    hostGetNumMidiOutputChannels = 79,
};

// VST 2.4 pin flags, which fst defines as 0.
enum PinFlag : int { pinIsActive = 1 << 0, pinIsStereo = 1 << 1 };

// Both pins of each direction, labelled "1" and "2", active and forming a stereo pair.
Vst2::VstIntPtr describePin(int index, void* ptr) {
    if (ptr == nullptr || index < 0 || index > 1) return 0;
    auto& pin = *static_cast<Vst2::VstPinProperties*>(ptr);
    std::memset(&pin, 0, sizeof pin);
    const char label[2] = {static_cast<char>('1' + index), '\0'};
    torvik::host::copyCut(pin.label, static_cast<int>(sizeof pin.label), label);
    torvik::host::copyCut(pin.shortLabel, static_cast<int>(sizeof pin.shortLabel), label);
    pin.flags = pinIsActive | pinIsStereo;
    pin.arrangementType = Vst2::kSpeakerArrStereo;
    return 1;
}

// fst marks the opcodes it has no number for as deprecated; they are exactly the ones wanted here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
int wrapperOpcode(int opcode) {
    switch (opcode) {
    case hostSetBypass: return Vst2::effSetBypass;
    case hostGetTailSize: return Vst2::effGetTailSize;
    case hostKeysRequired: return Vst2::effKeysRequired;
    case hostGetNumMidiInputChannels: return Vst2::effGetNumMidiInputChannels;
    case hostGetNumMidiOutputChannels: return Vst2::effGetNumMidiOutputChannels;
    default: return opcode;
    }
}
#pragma GCC diagnostic pop

// Size in bytes, terminating zero included, of the host's buffer for a string request; 0 for others.
int hostStringCapacity(int opcode) {
    switch (opcode) {
    case Vst2::effGetProgramName:
    case Vst2::effGetProgramNameIndexed:
    case Vst2::effGetParamDisplay: return torvik::host::kProgramNameBytes;
    case Vst2::effGetParamName: return torvik::host::kParameterNameBytes;
    case Vst2::effGetParamLabel: return torvik::host::kParameterLabelBytes;
    case Vst2::effGetEffectName:
    case Vst2::effGetVendorString:
    case Vst2::effGetProductString: return torvik::host::kNameBytes;
    default: return 0;
    }
}

Vst2::VstIntPtr dispatch(Vst2::AEffect* effect, int opcode, int index, Vst2::VstIntPtr value, void* ptr, float opt) {
    const Dispatcher juce = juceDispatcher.load();
    switch (opcode) {
    case Vst2::effCanDo: return torvik::host::canDo(static_cast<const char*>(ptr));
    case Vst2::effGetVendorVersion: return torvik::host::kVendorVersion;
    case Vst2::effGetInputProperties:
    case Vst2::effGetOutputProperties: return describePin(index, ptr);
    default: break;
    }
    const int capacity = hostStringCapacity(opcode);
    if (capacity == 0 || ptr == nullptr) return juce(effect, wrapperOpcode(opcode), index, value, ptr, opt);
    // JUCE writes at most 65 bytes for any of these.
    char text[256] = {};
    const Vst2::VstIntPtr result = juce(effect, opcode, index, value, text, opt);
    torvik::host::copyCut(static_cast<char*>(ptr), capacity, text);
    return result;
}

} // namespace

extern "C" __attribute__((visibility("default"))) Vst2::AEffect* VSTPluginMain(Vst2::audioMasterCallback audioMaster);
extern "C" __attribute__((visibility("default"))) Vst2::AEffect* VSTPluginMain(Vst2::audioMasterCallback audioMaster) {
    Vst2::AEffect* effect = juceVSTPluginMain(audioMaster);
    if (effect == nullptr) return nullptr;
    // Every instance has the same JUCE dispatcher.
    juceDispatcher.store(effect->dispatcher);
    effect->dispatcher = &dispatch;
    effect->version = torvik::host::kVendorVersion;
    return effect;
}
