// Counts the process's heap calls and bytes by standing in for the C library's allocation
// functions, which libstdc++'s operator new, the COM runtime and the module all reach.
#include <malloc.h>

#include <atomic>
#include <cstddef>

#include "bench_world.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<long long> allocations{0};
std::atomic<long long> inUse{0};
std::atomic<long long> peak{0};

void gained(void* block) {
    if (block == nullptr) {
        return;
    }
    ++allocations;
    const long long now = inUse += static_cast<long long>(malloc_usable_size(block));
    long long high = peak.load();
    while (now > high && !peak.compare_exchange_weak(high, now)) {
    }
}

void lost(void* block) {
    if (block != nullptr) {
        inUse -= static_cast<long long>(malloc_usable_size(block));
    }
}

}  // namespace

extern "C" void* malloc(size_t size) {
    void* block = __libc_malloc(size);
    gained(block);
    return block;
}

extern "C" void* calloc(size_t count, size_t size) {
    void* block = __libc_calloc(count, size);
    gained(block);
    return block;
}

extern "C" void* realloc(void* block, size_t size) {
    lost(block);
    void* moved = __libc_realloc(block, size);
    gained(moved != nullptr ? moved : (size == 0 ? nullptr : block));
    return moved;
}

extern "C" void free(void* block) {
    lost(block);
    __libc_free(block);
}

extern "C" void* memalign(size_t alignment, size_t size) {
    void* block = __libc_memalign(alignment, size);
    gained(block);
    return block;
}

extern "C" void* aligned_alloc(size_t alignment, size_t size) {
    return memalign(alignment, size);
}

extern "C" int posix_memalign(void** out, size_t alignment, size_t size) {
    *out = memalign(alignment, size);
    return *out != nullptr ? 0 : 12;
}

namespace tarvel::bench {

HeapCounters heapCounters() {
    return HeapCounters{allocations.load(), inUse.load(), peak.load()};
}

void resetHeapPeak() {
    peak = inUse.load();
}

}  // namespace tarvel::bench
