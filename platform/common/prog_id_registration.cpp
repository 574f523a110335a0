#include "../registration.h"

namespace tarvel::platform {

HRESULT ProgIdRegistration::add(LPCWSTR progId, REFCLSID clsid) {
    if (progId == nullptr || active_) {
        return E_INVALIDARG;
    }
    hadPrevious_ = SUCCEEDED(CLSIDFromProgID(progId, &previous_));
    const HRESULT hr = progids::write(progId, clsid);
    if (FAILED(hr)) {
        return hr;
    }
    progId_ = progId;
    active_ = true;
    return S_OK;
}

void ProgIdRegistration::remove() {
    if (!active_) {
        return;
    }
    active_ = false;
    if (hadPrevious_) {
        progids::write(progId_.c_str(), previous_);
    } else {
        progids::erase(progId_.c_str());
    }
}

}  // namespace tarvel::platform
