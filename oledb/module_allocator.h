// The one allocator for every block the module allocates itself (binding array, object
// descriptions, column flags, row buffer, accessor slots). It returns null instead of throwing;
// callers turn that into E_OUTOFMEMORY. It keeps no state: searches on several threads at once
// share nothing here. Test builds link a counting allocator with failures on demand instead.
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
};

// A block from the module's allocator, held in a field: reset() clears the field first, so a
// second reset frees nothing.
template <class T>
class ModuleBlock {
public:
    ModuleBlock() = default;
    ModuleBlock(const ModuleBlock&) = delete;
    ModuleBlock& operator=(const ModuleBlock&) = delete;
    ~ModuleBlock() { reset(); }

    // count elements of T, uninitialized; false, holding nothing, when they cannot be had.
    bool allocate(size_t count) {
        reset();
        block = static_cast<T*>(ModuleAllocator::allocateArray(count, sizeof(T)));
        return block != nullptr;
    }
    void reset() {
        T* old = block;
        block = nullptr;
        ModuleAllocator::release(old);
    }

    T* get() const { return block; }
    T& operator[](size_t index) const { return block[index]; }
    explicit operator bool() const { return block != nullptr; }

private:
    T* block = nullptr;
};

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
