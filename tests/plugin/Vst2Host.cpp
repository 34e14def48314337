#include "plugin/Vst2Host.h"

#include <cstring>
#include <dlfcn.h>

namespace torvik::test {

using namespace vst;

namespace {

using Entry = AEffect* (*)(audioMasterCallback);

// The host being created: VSTPluginMain asks for the host version before any effect exists.
thread_local Vst2Host* creating = nullptr;

VstIntPtr hostCallback(AEffect* effect, int op, int, VstIntPtr, void*, float) {
    Vst2Host* host = effect != nullptr && effect->user != nullptr ? static_cast<Vst2Host*>(effect->user) : creating;
    return host != nullptr ? host->answer(op) : 0;
}

} // namespace

Vst2Host::Vst2Host(const std::string& path, int hostVersion) : hostVersion_(hostVersion) {
    module_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (module_ == nullptr) error_ = dlerror();
}

Vst2Host::~Vst2Host() {
    if (effect_ != nullptr) effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
    if (module_ != nullptr) dlclose(module_);
}

bool Vst2Host::exports(const char* symbol) const { return module_ != nullptr && dlsym(module_, symbol) != nullptr; }

AEffect* Vst2Host::create() {
    auto entry = reinterpret_cast<Entry>(dlsym(module_, "VSTPluginMain"));
    if (entry == nullptr) return nullptr;
    creating = this;
    AEffect* e = entry(&hostCallback);
    creating = nullptr;
    if (e != nullptr) {
        e->user = this;
        effect_ = e;
        dispatch(effOpen);
    }
    return e;
}

VstIntPtr Vst2Host::answer(int op) {
    if (op != audioMasterVersion) return 0;
    ++log.versionQuestions;
    return hostVersion_;
}

VstIntPtr Vst2Host::dispatch(int op, int index, VstIntPtr value, void* ptr, float opt) {
    return effect_->dispatcher(effect_, op, index, value, ptr, opt);
}

std::string Vst2Host::text(int op, int index) {
    char buffer[512];
    std::memset(buffer, 0x5A, sizeof buffer);
    buffer[0] = '\0';
    dispatch(op, index, 0, buffer);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

int Vst2Host::canDo(const char* what) { return static_cast<int>(dispatch(effCanDo, 0, 0, const_cast<char*>(what))); }

VstIntPtr Vst2Host::arrange(int ins, int outs) {
    // A speaker arrangement is a header followed by one record per speaker.
    struct Arrangement {
        alignas(VstSpeakerArrangement) unsigned char bytes[sizeof(VstSpeakerArrangement) + 8 * sizeof(VstSpeakerProperties)]{};
        explicit Arrangement(int channels) {
            auto* a = reinterpret_cast<VstSpeakerArrangement*>(bytes);
            a->type = channels == 1 ? kSpeakerArrMono : channels == 2 ? kSpeakerArrStereo : kSpeakerArrUserDefined;
            a->numChannels = channels;
        }
        VstSpeakerArrangement* get() { return reinterpret_cast<VstSpeakerArrangement*>(bytes); }
    } in(ins), out(outs);
    return dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(in.get()), out.get());
}

std::vector<unsigned char> Vst2Host::chunk(bool programOnly) {
    void* data = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, programOnly ? 1 : 0, 0, &data);
    if (size <= 0 || data == nullptr) return {};
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

VstIntPtr Vst2Host::setChunk(const std::vector<unsigned char>& bytes, bool programOnly) {
    std::vector<unsigned char> copy = bytes;
    return dispatch(effSetChunk, programOnly ? 1 : 0, static_cast<VstIntPtr>(copy.size()), copy.data());
}

void Vst2Host::resume(float rate, int blockSize) {
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
}

void Vst2Host::suspend() { dispatch(effMainsChanged, 0, 0); }

void Vst2Host::process(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out) {
    std::vector<float*> ins, outs;
    for (auto& c : in) ins.push_back(c.data());
    for (auto& c : out) outs.push_back(c.data());
    effect_->processReplacing(effect_, ins.data(), outs.data(), static_cast<int>(in.front().size()));
}

} // namespace torvik::test
