// The one allocator for every block the module allocates itself (binding array, object
// descriptions, column flags, row buffer, accessor slots). It returns null instead of throwing;
// callers turn that into E_OUTOFMEMORY. Tests can make a chosen allocation fail.
#pragma once

#include <cstddef>
#include <limits>

namespace tarvel {

class ModuleAllocator {
public:
    // Null when the block cannot be had; bytes may be 0.
    static void* allocate(size_t bytes);
    // count * size bytes; a count whose byte size overflows fails like any other allocation.
    static void* allocateArray(size_t count, size_t size);
    static void release(void* block);

    // Fault injection: the n-th allocation from now (1 = the next one) fails; 0 fails none.
    static void failAllocation(long n);
    // Allocations asked for so far, failed ones included, and blocks not yet released.
    static long allocationCount();
    static long liveBlocks();
};

// Frees a block the module allocated and held in a field: the field is cleared first, so a
// second call frees nothing.
template <class T>
void releaseModuleBlock(T*& field) {
    T* block = field;
    field = nullptr;
    ModuleAllocator::release(block);
}

// Adds and rounds up byte counts; a result that would not fit saturates, so that allocating it
// fails.
inline size_t addSaturating(size_t a, size_t b) {
    return b > std::numeric_limits<size_t>::max() - a ? std::numeric_limits<size_t>::max() : a + b;
}

inline size_t roundUpSaturating(size_t value, size_t alignment) {
    const size_t padded = addSaturating(value, alignment - 1);
    return padded == std::numeric_limits<size_t>::max() ? padded : padded - padded % alignment;
}

}  // namespace tarvel
