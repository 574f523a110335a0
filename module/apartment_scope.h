// The COM apartment of one search. A thread that is not yet in an apartment enters one with the
// given flags and leaves it when the scope ends, on every way out; a thread already in one of
// the same model nests (S_FALSE), balanced the same way. A thread already in an apartment of the
// other model (RPC_E_CHANGED_MODE) is searched in that apartment, which COM serves as well, and
// is left exactly as it was: no CoUninitialize. Any other failure leaves COM unusable.
#pragma once

#include "platform.h"

namespace tarvel {

// The apartment a search enters: single-threaded, without OLE1 DDE, as a file manager's window
// thread has it.
constexpr DWORD SearchApartment = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE;

class ApartmentScope {
public:
    explicit ApartmentScope(DWORD flags) {
        const HRESULT hr = CoInitializeEx(nullptr, flags);
        entered = SUCCEEDED(hr);
        isUsable = entered || hr == RPC_E_CHANGED_MODE;
    }
    ApartmentScope(const ApartmentScope&) = delete;
    ApartmentScope& operator=(const ApartmentScope&) = delete;
    ~ApartmentScope() {
        if (entered) {
            entered = false;
            CoUninitialize();
        }
    }

    // Whether COM can be used on this thread for the scope's length.
    bool usable() const { return isUsable; }

private:
    bool entered = false;
    bool isUsable = false;
};

}  // namespace tarvel
