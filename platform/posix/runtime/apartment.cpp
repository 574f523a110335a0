// Per-thread apartment state, as COM keeps it: the first successful CoInitializeEx fixes the
// thread's model; later calls with the same model nest and must be balanced. Each entry into a
// single-threaded apartment makes a new apartment; every thread in the multithreaded model is
// in the one multithreaded apartment of the process.
#include <atomic>

#include "runtime_state.h"

namespace {

// Identities of apartments: 0 none, 1 the multithreaded one, then each single-threaded one.
std::atomic<unsigned long long> nextApartment{2};
constexpr unsigned long long kMultithreaded = 1;

struct Apartment {
    ULONG depth = 0;
    bool singleThreaded = false;
    unsigned long long id = 0;
};

thread_local Apartment currentApartment;

}  // namespace

namespace tarvel::runtime {

bool apartmentEntered() {
    return currentApartment.depth > 0;
}

unsigned long long currentApartmentId() {
    return currentApartment.depth > 0 ? currentApartment.id : 0;
}

}  // namespace tarvel::runtime

extern "C" TARVEL_RUNTIME_API HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    if (pvReserved != nullptr) {
        return E_INVALIDARG;
    }
    const bool singleThreaded = (dwCoInit & COINIT_APARTMENTTHREADED) != 0;
    Apartment& apartment = currentApartment;
    if (apartment.depth == 0) {
        apartment.singleThreaded = singleThreaded;
        apartment.depth = 1;
        apartment.id = singleThreaded ? nextApartment++ : kMultithreaded;
        return S_OK;
    }
    if (apartment.singleThreaded != singleThreaded) {
        return RPC_E_CHANGED_MODE;
    }
    ++apartment.depth;
    return S_FALSE;
}

extern "C" TARVEL_RUNTIME_API void CoUninitialize() {
    Apartment& apartment = currentApartment;
    if (apartment.depth == 0) {
        return;
    }
    if (--apartment.depth == 0 && apartment.singleThreaded) {
        // The apartment is gone, and with it what was registered in it.
        tarvel::runtime::revokeClassObjectsOf(apartment.id);
    }
}

extern "C" TARVEL_RUNTIME_API HRESULT CoGetApartmentType(APTTYPE* pAptType,
                                                         APTTYPEQUALIFIER* pAptQualifier) {
    if (pAptType == nullptr || pAptQualifier == nullptr) {
        return E_INVALIDARG;
    }
    *pAptQualifier = APTTYPEQUALIFIER_NONE;
    const Apartment& apartment = currentApartment;
    if (apartment.depth == 0) {
        *pAptType = APTTYPE_CURRENT;
        return CO_E_NOTINITIALIZED;
    }
    *pAptType = apartment.singleThreaded ? APTTYPE_STA : APTTYPE_MTA;
    return S_OK;
}
