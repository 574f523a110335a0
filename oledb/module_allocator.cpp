#include "module_allocator.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace tarvel {

namespace {

// No block may be larger than the address space can index; larger requests fail without
// reaching the C runtime.
constexpr size_t kLargestBlock = size_t(std::numeric_limits<ptrdiff_t>::max()) / 2;

}  // namespace

void* ModuleAllocator::allocate(size_t bytes) {
    if (bytes > kLargestBlock) {
        return nullptr;
    }
    return std::malloc(bytes == 0 ? 1 : bytes);
}

void* ModuleAllocator::allocateArray(size_t count, size_t size) {
    if (size != 0 && count > std::numeric_limits<size_t>::max() / size) {
        return nullptr;
    }
    return allocate(count * size);
}

void ModuleAllocator::release(void* block) {
    std::free(block);
}

}  // namespace tarvel
