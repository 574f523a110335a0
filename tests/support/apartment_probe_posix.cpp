// The program defines CoInitializeEx and CoUninitialize itself: counting forwarders to the
// runtime's. The module's code is linked into the program, so its calls reach them.
#include <dlfcn.h>

#include <atomic>

#include "apartment_probe.h"
#include "platform.h"

namespace {

std::atomic<long> initializeCalls{0};
std::atomic<long> uninitializeCalls{0};

template <class Fn>
Fn runtimes(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    static const auto real = runtimes<HRESULT (*)(LPVOID, DWORD)>("CoInitializeEx");
    ++initializeCalls;
    return real(pvReserved, dwCoInit);
}

extern "C" void CoUninitialize() {
    static const auto real = runtimes<void (*)()>("CoUninitialize");
    ++uninitializeCalls;
    real();
}

namespace tarvel::testing {

ApartmentCalls apartmentCalls() {
    return ApartmentCalls{initializeCalls.load(), uninitializeCalls.load()};
}

}  // namespace tarvel::testing
