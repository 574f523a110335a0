// The test program's import table entries for CoInitializeEx and CoUninitialize are replaced by
// counting forwarders. The module's code is linked into the program, so its calls go through
// the same entries.
#include <cstring>

#include "apartment_probe.h"
#include "platform.h"

namespace tarvel::testing {

namespace {

using InitializeFn = HRESULT(WINAPI*)(LPVOID, DWORD);
using UninitializeFn = void(WINAPI*)();

InitializeFn realInitialize = nullptr;
UninitializeFn realUninitialize = nullptr;
long initializeCalls = 0;
long uninitializeCalls = 0;

HRESULT WINAPI countingInitialize(LPVOID reserved, DWORD flags) {
    ++initializeCalls;
    return realInitialize(reserved, flags);
}

void WINAPI countingUninitialize() {
    ++uninitializeCalls;
    realUninitialize();
}

void** importSlot(const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (; descriptor->Name != 0; ++descriptor) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + descriptor->Name), dll) != 0) {
            continue;
        }
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0) {
                return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

template <class Fn>
Fn replace(const char* function, Fn replacement) {
    void** slot = importSlot("ole32.dll", function);
    if (slot == nullptr) {
        return nullptr;
    }
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
    Fn original = reinterpret_cast<Fn>(*slot);
    *slot = reinterpret_cast<void*>(replacement);
    VirtualProtect(slot, sizeof(void*), protection, &protection);
    return original;
}

}  // namespace

ApartmentCalls apartmentCalls() {
    if (realInitialize == nullptr) {
        realInitialize = replace<InitializeFn>("CoInitializeEx", countingInitialize);
        realUninitialize = replace<UninitializeFn>("CoUninitialize", countingUninitialize);
        if (realInitialize == nullptr || realUninitialize == nullptr) {
            return ApartmentCalls{-1, -1};
        }
    }
    return ApartmentCalls{initializeCalls, uninitializeCalls};
}

}  // namespace tarvel::testing
