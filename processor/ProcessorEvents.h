#pragma once

#include <string>

namespace torvik {

// Each step of a reconfiguration as the processor makes it, for diagnostics and tests. Called on
// the thread that changes parameters, programs or state; never on the audio thread.
class ProcessorEvents {
public:
    virtual ~ProcessorEvents() = default;
    virtual void processingSuspended(bool /*suspended*/) {}
    virtual void modelLoaded(int /*chain*/, int /*block*/, const std::string& /*path*/, bool /*accepted*/) {}
    virtual void runningRateSet(int /*chain*/, double /*rate*/) {}
    virtual void gainPositionSet(int /*chain*/, int /*block*/, unsigned /*position*/) {}
    virtual void thirdStagePositionApplied(int /*chain*/) {}
    virtual void tonePositionSet(int /*chain*/, unsigned /*toneIndex*/) {}
    virtual void changeBroadcast() {}
};

} // namespace torvik
