#pragma once

// Counts heap allocations made by the current thread while an AllocationCounter is alive.
// The replacement operator new lives in AllocationCounter.cpp; link it into a test binary to
// use this.
namespace torvik {

class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    long count() const;

private:
    long start_;
};

} // namespace torvik
