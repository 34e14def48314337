#pragma once

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace torvik::builder {

// Runs work(k) for k = 0..count-1 on up to `threads` threads. Each item writes only its own
// results, so the outcome does not depend on the thread count or the order of completion.
template <class Work>
void parallelFor(int count, int threads, Work&& work) {
    std::atomic<int> next{0};
    auto worker = [&] {
        for (int k = next++; k < count; k = next++) work(k);
    };
    const int n = std::max(1, std::min(threads, count));
    std::vector<std::thread> pool;
    for (int t = 1; t < n; ++t) pool.emplace_back(worker);
    worker();
    for (auto& t : pool) t.join();
}

} // namespace torvik::builder
