#include <algorithm>
#include <vector>

#include "../registration.h"

namespace tarvel::platform {

namespace {

// The registrations in place, latest last, so that an interruption can end them in order.
std::vector<ProgIdRegistration*>& active() {
    static std::vector<ProgIdRegistration*> registrations;
    return registrations;
}

}  // namespace

HRESULT ProgIdRegistration::add(LPCWSTR progId, REFCLSID clsid) {
    if (progId == nullptr || active_) {
        return E_INVALIDARG;
    }
    hadPrevious_ = progids::read(progId, &previous_);
    const HRESULT hr = progids::write(progId, clsid);
    if (FAILED(hr)) {
        return hr;
    }
    progId_ = progId;
    active_ = true;
    active().push_back(this);
    progids::endOnInterruption();
    return S_OK;
}

void ProgIdRegistration::remove() {
    if (!active_) {
        return;
    }
    active_ = false;
    auto& registrations = active();
    registrations.erase(std::remove(registrations.begin(), registrations.end(), this),
                        registrations.end());
    if (hadPrevious_) {
        progids::write(progId_.c_str(), previous_);
    } else {
        progids::erase(progId_.c_str());
    }
}

void endAllRegistrations() {
    while (!active().empty()) {
        active().back()->remove();
    }
}

}  // namespace tarvel::platform
