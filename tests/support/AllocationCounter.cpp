#include "support/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local long allocations = 0;
thread_local int counting = 0;

void* allocate(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace torvik {
AllocationCounter::AllocationCounter() : start_(allocations) { ++counting; }
AllocationCounter::~AllocationCounter() { --counting; }
long AllocationCounter::count() const { return allocations - start_; }
} // namespace torvik
