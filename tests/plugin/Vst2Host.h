#pragma once

// A small VST 2.4 host of our own: loads the plug-in's shared object with dlopen, calls its
// VSTPluginMain and drives the effect through its dispatcher, as a host application would. The
// interface types come from Debian's fst headers (in a namespace of their own, as JUCE also
// declares an AEffect); the opcodes fst leaves unnamed are given here by their VST 2.4 numbers.
#include <string>
#include <vector>

namespace torvik::test::vst {
#include <pluginterfaces/fst/fst.h>
}

namespace torvik::test {

using vst::AEffect;
using vst::VstIntPtr;

namespace opcode {
constexpr int setBypass = 44;
constexpr int getTailSize = 52;
} // namespace opcode
namespace pin {  // VST 2.4 pin flags (fst defines them as 0)
constexpr int isActive = 1 << 0, isStereo = 1 << 1;
} // namespace pin

// What the plug-in asked the host through its callback.
struct HostLog {
    int versionQuestions = 0;
};

class Vst2Host {
public:
    // Loads `path`; `hostVersion` is what the host answers to audioMasterVersion.
    explicit Vst2Host(const std::string& path, int hostVersion = 2400);
    ~Vst2Host();
    Vst2Host(const Vst2Host&) = delete;
    Vst2Host& operator=(const Vst2Host&) = delete;

    bool loaded() const { return module_ != nullptr; }
    bool exports(const char* symbol) const;
    const std::string& loadError() const { return error_; }

    // VSTPluginMain; null when the plug-in refuses. The host keeps and closes the effect.
    AEffect* create();
    AEffect* effect() const { return effect_; }

    VstIntPtr dispatch(int op, int index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    std::string text(int op, int index = 0);
    int canDo(const char* what);
    // 1 in/out or 2 in/out (or any pair), as speaker arrangements.
    VstIntPtr arrange(int ins, int outs);
    std::vector<unsigned char> chunk(bool programOnly);
    VstIntPtr setChunk(const std::vector<unsigned char>& bytes, bool programOnly);
    // Starts processing at `rate` with blocks of up to `blockSize`.
    void resume(float rate, int blockSize);
    void suspend();
    // processReplacing on `channels` separate input and output buffers.
    void process(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out);

    // The host callback's answer to the plug-in.
    VstIntPtr answer(int op);

    HostLog log;

private:
    void* module_ = nullptr;
    AEffect* effect_ = nullptr;
    int hostVersion_;
    std::string error_;
};

} // namespace torvik::test
