// Keeps a ledger of the blocks the stand-in objects hand over (strings, BSTRs, arrays,
// by-reference values) and, through a malloc spy on the COM task allocator, of how often each
// was freed, so a test can check that each was freed exactly once. BSTRs and SAFEARRAYs live
// in the task allocator on both platforms once oleaut32's string cache is off.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform.h"

namespace tarvel::service {

class Instrumentation;

class MemoryLedger {
public:
    // Starts watching the calling thread; one ledger at a time on each thread.
    MemoryLedger();
    MemoryLedger(const MemoryLedger&) = delete;
    MemoryLedger& operator=(const MemoryLedger&) = delete;
    ~MemoryLedger();

    // The ledger that is watching the calling thread, if any.
    static MemoryLedger* active();

    // The block most recently allocated belongs to a hand-over described by what.
    void recordLastAllocation(std::string what);
    // The live block that holds address belongs to a hand-over described by what.
    void record(const void* address, std::string what);
    // Hand-overs not freed yet, and hand-overs freed more than once (or not seen allocated).
    std::vector<std::string> unfreed() const;
    const std::vector<std::string>& freedTwice() const { return freedTwice_; }
    size_t handedOver() const { return handedOver_; }
    bool watching() const { return watching_; }

    // Notes "free <what>" in the journal whenever a hand-over is freed.
    void journalFreesTo(Instrumentation* journal) { journal_ = journal; }
    // Forgets every hand-over, as a new ledger would, and keeps watching.
    void reset();

    void allocated(void* block, size_t size);
    void freeing(void* block);

private:
    struct Handover {
        std::string what;
        int frees = 0;
    };

    Instrumentation* journal_ = nullptr;
    bool watching_ = false;
    void* lastAllocation_ = nullptr;
    // The blocks allocated and not freed since, by address, with their sizes.
    std::map<const void*, size_t> live_;
    std::map<void*, Handover> handovers_;
    std::vector<std::string> freedTwice_;
    size_t handedOver_ = 0;
};

}  // namespace tarvel::service
