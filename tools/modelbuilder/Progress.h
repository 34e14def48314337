#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <unistd.h>

namespace torvik::builder {

// A one-line progress bar on standard error, safe to advance from several threads.
class Progress {
public:
    Progress(std::string label, long total) : label_(std::move(label)), total_(total), start_(clock::now()) { draw(); }
    ~Progress() { finish(); }

    void advance(long n = 1) {
        done_ += n;
        const auto now = clock::now();
        std::lock_guard<std::mutex> lock(mutex_);
        if (now - lastDraw_ > std::chrono::milliseconds(200) || done_ >= total_) {
            lastDraw_ = now;
            draw();
        }
    }

    void finish() {
        if (finished_.exchange(true)) return;
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = total_;
        draw();
        std::fputc('\n', stderr);
    }

private:
    using clock = std::chrono::steady_clock;
    void draw() const {
        if (!isatty(2) && done_ < total_) return;  // in a log, only the final line
        const double fraction = total_ > 0 ? double(done_) / double(total_) : 1.0;
        const int width = 30, filled = int(fraction * width + 0.5);
        const double seconds = std::chrono::duration<double>(clock::now() - start_).count();
        std::fprintf(stderr, "\r%-28s [%.*s%*s] %3d%% %6.1fs", label_.c_str(), filled,
                     "##############################", width - filled, "", int(fraction * 100.0 + 0.5), seconds);
        std::fflush(stderr);
    }

    std::string label_;
    long total_;
    std::atomic<long> done_{0};
    std::atomic<bool> finished_{false};
    clock::time_point start_, lastDraw_{};
    std::mutex mutex_;
};

} // namespace torvik::builder
