#pragma once

#include "model/RunningStatistics.h"

#include <atomic>
#include <cstdint>

namespace torvik {

// Block 4's running statistics as of the end of the last audio block: the reciprocal window
// length, the running sum and the running sum of squares of the follower's plate current.
struct BlockLevels {
    double inverseLength = 1.0 / RunningStatistics::kLength;
    double sum = 0.0;
    double sumOfSquares = 0.0;
};

// Hands BlockLevels from the audio thread to the editor without a lock on either side. One writer
// (the audio thread, once per block); readers retry while a write is in progress and, if the
// writer keeps them waiting, keep the values they read last time.
class LevelSnapshot {
public:
    static_assert(std::atomic<double>::is_always_lock_free, "the level hand-over must not lock");

    // Audio thread only.
    void publish(const RunningStatistics& statistics) {
        publish(statistics.inverseLength, statistics.sum, statistics.sumOfSquares);
    }
    // No current at all: the preamp is not running (silenced or bypassed).
    void publishSilence() { publish(1.0 / RunningStatistics::kLength, 0.0, 0.0); }

    // Any thread. Returns false, and leaves `levels` alone, if no consistent copy was seen.
    bool read(BlockLevels& levels) const {
        for (int attempt = 0; attempt < 8; ++attempt) {
            const std::uint32_t before = sequence_.load(std::memory_order_acquire);
            if (before & 1u) continue;
            const BlockLevels copy{inverseLength_.load(std::memory_order_relaxed), sum_.load(std::memory_order_relaxed),
                                   sumOfSquares_.load(std::memory_order_relaxed)};
            std::atomic_thread_fence(std::memory_order_acquire);
            if (sequence_.load(std::memory_order_relaxed) == before) {
                levels = copy;
                return true;
            }
        }
        return false;
    }

private:
    void publish(double inverseLength, double sum, double sumOfSquares) {
        const std::uint32_t s = sequence_.load(std::memory_order_relaxed);
        sequence_.store(s + 1, std::memory_order_relaxed);  // odd: a write is in progress
        std::atomic_thread_fence(std::memory_order_release);
        inverseLength_.store(inverseLength, std::memory_order_relaxed);
        sum_.store(sum, std::memory_order_relaxed);
        sumOfSquares_.store(sumOfSquares, std::memory_order_relaxed);
        sequence_.store(s + 2, std::memory_order_release);
    }

    std::atomic<std::uint32_t> sequence_{0};
    std::atomic<double> inverseLength_{1.0 / RunningStatistics::kLength};
    std::atomic<double> sum_{0.0};
    std::atomic<double> sumOfSquares_{0.0};
};

} // namespace torvik
