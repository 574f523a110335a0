#include "module_allocator.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace tarvel {

namespace {

// No block may be larger than the address space can index; larger requests fail without
// reaching the C runtime.
constexpr size_t kLargestBlock = size_t(std::numeric_limits<ptrdiff_t>::max()) / 2;

std::atomic<long> attempts{0};
std::atomic<long> live{0};
std::atomic<long> failAt{0};

bool injectedFailure() {
    const long attempt = ++attempts;
    long target = failAt.load();
    return target != 0 && attempt == target;
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

void ModuleAllocator::failAllocation(long n) {
    failAt = n == 0 ? 0 : attempts.load() + n;
}

long ModuleAllocator::allocationCount() {
    return attempts.load();
}

long ModuleAllocator::liveBlocks() {
    return live.load();
}

}  // namespace tarvel
