// The COM task allocator, with IMallocSpy support as ole32 has it, so that tests can watch every
// block the task allocator hands out and takes back.
#include <cstdlib>
#include <mutex>
#include <unordered_set>

#include "runtime_state.h"

namespace {

std::recursive_mutex spyLock;
IMallocSpy* spy = nullptr;
std::unordered_set<void*> spiedBlocks;

}  // namespace

extern "C" TARVEL_RUNTIME_API LPVOID CoTaskMemAlloc(SIZE_T cb) {
    std::lock_guard<std::recursive_mutex> guard(spyLock);
    if (spy == nullptr) {
        return std::malloc(cb == 0 ? 1 : cb);
    }
    const SIZE_T request = spy->PreAlloc(cb);
    void* actual = std::malloc(request == 0 ? 1 : request);
    void* block = spy->PostAlloc(actual);
    if (actual != nullptr) {
        spiedBlocks.insert(block);
    }
    return block;
}

extern "C" TARVEL_RUNTIME_API void CoTaskMemFree(LPVOID pv) {
    if (pv == nullptr) {
        return;
    }
    std::lock_guard<std::recursive_mutex> guard(spyLock);
    if (spy == nullptr) {
        std::free(pv);
        return;
    }
    const BOOL spied = spiedBlocks.erase(pv) != 0 ? TRUE : FALSE;
    void* actual = spy->PreFree(pv, spied);
    std::free(actual);
    spy->PostFree(spied);
}

extern "C" TARVEL_RUNTIME_API LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
    if (pv == nullptr) {
        return CoTaskMemAlloc(cb);
    }
    if (cb == 0) {
        CoTaskMemFree(pv);
        return nullptr;
    }
    std::lock_guard<std::recursive_mutex> guard(spyLock);
    if (spy == nullptr) {
        return std::realloc(pv, cb);
    }
    const BOOL spied = spiedBlocks.erase(pv) != 0 ? TRUE : FALSE;
    void* request = nullptr;
    const SIZE_T size = spy->PreRealloc(pv, cb, &request, spied);
    void* actual = std::realloc(request, size);
    void* block = spy->PostRealloc(actual, spied);
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
