#pragma once

// Counts, for the current thread, heap allocations (operator new, and the malloc family where no
// sanitizer owns it) and mutex acquisitions while a probe is alive. The replacement functions
// live in AudioThreadProbe.cpp; a test binary that links it gets them for the whole program.
namespace torvik {

class AudioThreadProbe {
public:
    AudioThreadProbe();
    ~AudioThreadProbe();
    long allocations() const;
    long locks() const;

private:
    long allocationsAtStart_;
    long locksAtStart_;
};

} // namespace torvik
