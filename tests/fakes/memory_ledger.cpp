#include "memory_ledger.h"

#include <algorithm>

#include "instrumentation.h"
#include "platform_support.h"

namespace tarvel::service {

namespace {

// The ledger of each thread: a world's blocks are allocated and freed on its own thread.
thread_local MemoryLedger* current = nullptr;
// The size of the block being allocated, between PreAlloc and PostAlloc.
thread_local SIZE_T requested = 0;

// Registered once and never revoked: the runtime may call a spy for blocks it saw until the
// last of them is freed, long after any one test.
class Spy final : public IMallocSpy {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IMallocSpy)) {
            *ppv = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cbRequest) override {
        requested = cbRequest;
        return cbRequest;
    }
    void* STDMETHODCALLTYPE PostAlloc(void* pActual) override {
        if (current != nullptr && pActual != nullptr) {
            current->allocated(pActual, requested);
        }
        return pActual;
    }
    void* STDMETHODCALLTYPE PreFree(void* pRequest, BOOL) override {
        if (current != nullptr && pRequest != nullptr) {
            current->freeing(pRequest);
        }
        return pRequest;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* pRequest, SIZE_T cbRequest, void** ppNewRequest,
                                        BOOL) override {
        if (current != nullptr && pRequest != nullptr) {
            current->freeing(pRequest);
        }
        *ppNewRequest = pRequest;
        requested = cbRequest;
        return cbRequest;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* pActual, BOOL) override { return PostAlloc(pActual); }
    void* STDMETHODCALLTYPE PreGetSize(void* pRequest, BOOL) override { return pRequest; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cbActual, BOOL) override { return cbActual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* pRequest, BOOL) override { return pRequest; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int fActual) override { return fActual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

bool spyRegistered() {
    static Spy spy;
    static const bool registered = [] {
        platform::disableBstrCache();
        return SUCCEEDED(CoRegisterMallocSpy(&spy));
    }();
    return registered;
}

}  // namespace

MemoryLedger::MemoryLedger() {
    if (current == nullptr && spyRegistered()) {
        watching_ = true;
        current = this;
    }
}

MemoryLedger::~MemoryLedger() {
    if (watching_) {
        current = nullptr;
    }
}

MemoryLedger* MemoryLedger::active() {
    return current;
}

void MemoryLedger::reset() {
    lastAllocation_ = nullptr;
    live_.clear();
    handovers_.clear();
    freedTwice_.clear();
    handedOver_ = 0;
}

void MemoryLedger::recordLastAllocation(std::string what) {
    if (lastAllocation_ == nullptr) {
        freedTwice_.push_back("no allocation seen for " + what);
        return;
    }
    handovers_[lastAllocation_] = Handover{std::move(what), 0};
    lastAllocation_ = nullptr;
    ++handedOver_;
}

void MemoryLedger::record(const void* address, std::string what) {
    // The live block that holds the address: a BSTR's text lies behind the block's header.
    auto it = live_.upper_bound(address);
    if (it == live_.begin() ||
        static_cast<const BYTE*>(address) >=
            static_cast<const BYTE*>((--it)->first) + std::max<size_t>(it->second, 1)) {
        freedTwice_.push_back("no allocation seen for " + what);
        return;
    }
    handovers_[const_cast<void*>(it->first)] = Handover{std::move(what), 0};
    ++handedOver_;
}

std::vector<std::string> MemoryLedger::unfreed() const {
    std::vector<std::string> open;
    for (const auto& [block, handover] : handovers_) {
        if (handover.frees == 0) {
            open.push_back(handover.what);
        }
    }
    return open;
}

void MemoryLedger::allocated(void* block, size_t size) {
    // An address handed over before and freed since now holds a new block.
    auto it = handovers_.find(block);
    if (it != handovers_.end() && it->second.frees > 0) {
        handovers_.erase(it);
    }
    lastAllocation_ = block;
    live_[block] = size;
}

void MemoryLedger::freeing(void* block) {
    live_.erase(block);
    auto it = handovers_.find(block);
    if (it != handovers_.end()) {
        if (++it->second.frees == 2) {
            freedTwice_.push_back(it->second.what);
        }
        if (journal_ != nullptr) {
            journal_->note("free " + it->second.what);
        }
    }
    if (lastAllocation_ == block) {
        lastAllocation_ = nullptr;
    }
}

}  // namespace tarvel::service
