#pragma once

#include <array>

namespace torvik {

// While the host bypasses the plug-in, the dry signal is delayed by the latency the plug-in
// reports, so that bypassing does not shift the track in time. Two channels, up to 15 samples.
class BypassDelay {
public:
    static constexpr int kMaxDelay = 15;
    static constexpr int kChannels = 2;

    void setDelay(int samples) { delay_ = samples < 0 ? 0 : samples > kMaxDelay ? kMaxDelay : samples; }
    int delay() const { return delay_; }

    void process(float* samples, int n, int channel) {
        if (delay_ == 0 || channel < 0 || channel >= kChannels) return;
        auto& ring = rings_[channel];
        int& pos = positions_[channel];
        for (int k = 0; k < n; ++k) {
            const int read = (pos - delay_ + kRing) % kRing;
            ring[pos] = samples[k];
            samples[k] = ring[read];
            pos = (pos + 1) % kRing;
        }
    }

private:
    static constexpr int kRing = kMaxDelay + 1;
    int delay_ = 0;
    std::array<std::array<float, kRing>, kChannels> rings_{};
    std::array<int, kChannels> positions_{};
};

} // namespace torvik
