#include "AudioThreadProbe.h"

#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <new>
#include <pthread.h>

namespace {
thread_local long allocationCount = 0;
thread_local long lockCount = 0;
thread_local int probing = 0;

void noteAllocation() {
    if (probing) ++allocationCount;
}

void* allocate(std::size_t size) {
    noteAllocation();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
    noteAllocation();
    void* p = nullptr;
    if (posix_memalign(&p, static_cast<std::size_t>(alignment), size ? size : 1) == 0) return p;
    throw std::bad_alloc();
}

template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

using LockFn = int (*)(pthread_mutex_t*);
using RwLockFn = int (*)(pthread_rwlock_t*);
LockFn realLock = nullptr;
LockFn realTryLock = nullptr;
RwLockFn realReadLock = nullptr;
RwLockFn realWriteLock = nullptr;

__attribute__((constructor)) void findRealLocks() {
    realLock = next<LockFn>("pthread_mutex_lock");
    realTryLock = next<LockFn>("pthread_mutex_trylock");
    realReadLock = next<RwLockFn>("pthread_rwlock_rdlock");
    realWriteLock = next<RwLockFn>("pthread_rwlock_wrlock");
}
} // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Direct calls of the C allocator (the framework's heap blocks use them).
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);

void* malloc(std::size_t size) {
    noteAllocation();
    return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
    noteAllocation();
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
    noteAllocation();
    return __libc_realloc(p, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    noteAllocation();
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr) return ENOMEM;
    *out = p;
    return 0;
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
}
#endif

extern "C" {
int pthread_mutex_lock(pthread_mutex_t* m) {
    if (probing) ++lockCount;
    return realLock(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
    if (probing) ++lockCount;
    return realTryLock(m);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* l) {
    if (probing) ++lockCount;
    return realReadLock(l);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* l) {
    if (probing) ++lockCount;
    return realWriteLock(l);
}
}

namespace torvik {
AudioThreadProbe::AudioThreadProbe() : allocationsAtStart_(allocationCount), locksAtStart_(lockCount) { ++probing; }
AudioThreadProbe::~AudioThreadProbe() { --probing; }
long AudioThreadProbe::allocations() const { return allocationCount - allocationsAtStart_; }
long AudioThreadProbe::locks() const { return lockCount - locksAtStart_; }
} // namespace torvik
