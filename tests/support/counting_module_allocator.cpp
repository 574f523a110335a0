// The module allocator as test builds have it; the module's own code is the same.
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "module_allocator.h"
#include "module_allocator_probe.h"

namespace tarvel {

namespace {

constexpr size_t kLargestBlock = size_t(std::numeric_limits<ptrdiff_t>::max()) / 2;

thread_local long attempts = 0;
thread_local long live = 0;
thread_local long failAt = 0;

bool injectedFailure() {
    const long attempt = ++attempts;
    return failAt != 0 && attempt == failAt;
}

}  // namespace

void* ModuleAllocator::allocate(size_t bytes) {
    if (injectedFailure() || bytes > kLargestBlock) {
        return nullptr;
    }
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block != nullptr) {
        ++live;
    }
    return block;
}

void* ModuleAllocator::allocateArray(size_t count, size_t size) {
    if (size != 0 && count > std::numeric_limits<size_t>::max() / size) {
        return allocate(std::numeric_limits<size_t>::max());
    }
    return allocate(count * size);
}

void ModuleAllocator::release(void* block) {
    if (block != nullptr) {
        --live;
        std::free(block);
    }
}

namespace testing {

void ModuleAllocatorProbe::failAllocation(long n) {
    failAt = n == 0 ? 0 : attempts + n;
}

long ModuleAllocatorProbe::allocationCount() {
    return attempts;
}

long ModuleAllocatorProbe::liveBlocks() {
    return live;
}

}  // namespace testing

}  // namespace tarvel
