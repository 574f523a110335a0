// The COM task allocator, with IMallocSpy support as ole32 has it, so that tests can watch every
// block the task allocator hands out and takes back. Without a spy, threads allocate and free
// without meeting each other; a spy's calls are made one at a time, as ole32 makes them.
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <unordered_set>

#include "runtime_state.h"

namespace {

std::recursive_mutex spyLock;
// Set once under the lock, and never cleared while a block it saw is alive.
std::atomic<IMallocSpy*> spy{nullptr};
std::unordered_set<void*> spiedBlocks;

bool spying() {
    return spy.load(std::memory_order_acquire) != nullptr;
}

}  // namespace

extern "C" TARVEL_RUNTIME_API LPVOID CoTaskMemAlloc(SIZE_T cb) {
    if (!spying()) {
        return std::malloc(cb == 0 ? 1 : cb);
    }
    std::lock_guard<std::recursive_mutex> guard(spyLock);
    IMallocSpy* watching = spy;
    if (watching == nullptr) {
        return std::malloc(cb == 0 ? 1 : cb);
    }
    const SIZE_T request = watching->PreAlloc(cb);
    void* actual = std::malloc(request == 0 ? 1 : request);
    void* block = watching->PostAlloc(actual);
    if (actual != nullptr) {
        spiedBlocks.insert(block);
    }
    return block;
}

extern "C" TARVEL_RUNTIME_API void CoTaskMemFree(LPVOID pv) {
    if (pv == nullptr) {
        return;
    }
    if (!spying()) {
        std::free(pv);
        return;
    }
    std::lock_guard<std::recursive_mutex> guard(spyLock);
    IMallocSpy* watching = spy;
    if (watching == nullptr) {
        std::free(pv);
        return;
    }
    const BOOL spied = spiedBlocks.erase(pv) != 0 ? TRUE : FALSE;
    void* actual = watching->PreFree(pv, spied);
    std::free(actual);
    watching->PostFree(spied);
}

extern "C" TARVEL_RUNTIME_API LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
    if (pv == nullptr) {
        return CoTaskMemAlloc(cb);
    }
    if (cb == 0) {
        CoTaskMemFree(pv);
        return nullptr;
    }
    if (!spying()) {
        return std::realloc(pv, cb);
    }
    std::lock_guard<std::recursive_mutex> guard(spyLock);
    IMallocSpy* watching = spy;
    if (watching == nullptr) {
        return std::realloc(pv, cb);
    }
    const BOOL spied = spiedBlocks.erase(pv) != 0 ? TRUE : FALSE;
    void* request = nullptr;
    const SIZE_T size = watching->PreRealloc(pv, cb, &request, spied);
    void* actual = std::realloc(request, size);
    void* block = watching->PostRealloc(actual, spied);
    spiedBlocks.insert(actual != nullptr ? block : pv);
    return block;
}

extern "C" TARVEL_RUNTIME_API HRESULT CoRegisterMallocSpy(IMallocSpy* pMallocSpy) {
    if (pMallocSpy == nullptr) {
        return E_INVALIDARG;
    }
    std::lock_guard<std::recursive_mutex> guard(spyLock);
    if (spy != nullptr) {
        return CO_E_OBJNOTREG;
    }
    IMallocSpy* checked = nullptr;
    if (FAILED(pMallocSpy->QueryInterface(IID_IMallocSpy, reinterpret_cast<void**>(&checked)))) {
        return E_INVALIDARG;
    }
    spy = checked;
    return S_OK;
}

extern "C" TARVEL_RUNTIME_API HRESULT CoRevokeMallocSpy() {
    std::lock_guard<std::recursive_mutex> guard(spyLock);
    if (spy == nullptr) {
        return CO_E_OBJNOTREG;
    }
    if (!spiedBlocks.empty()) {
        // ole32 keeps the spy until its blocks are gone; tests revoke only when they are.
        return E_ACCESSDENIED;
    }
    IMallocSpy* old = spy;
    spy = nullptr;
    old->Release();
    return S_OK;
}
