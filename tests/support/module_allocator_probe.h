// The module allocator of test builds: it counts what the module allocates and can make a
// chosen allocation fail. Counts and failures belong to the calling thread, so searches on
// several threads neither race on them nor queue for them.
#pragma once

namespace tarvel::testing {

class ModuleAllocatorProbe {
public:
    // The n-th allocation of this thread from now (1 = the next one) fails; 0 fails none.
    static void failAllocation(long n);
    // Allocations this thread asked for so far, failed ones included, and its blocks not yet
    // released.
    static long allocationCount();
    static long liveBlocks();
};

}  // namespace tarvel::testing
