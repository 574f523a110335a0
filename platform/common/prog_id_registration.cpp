#include <algorithm>
#include <vector>

#include "../registration.h"

namespace tarvel::platform {

namespace {

// The registrations in place, latest last, so that an interruption can end them in order. Read
// and changed only under progids::Lock.
std::vector<ProgIdRegistration*>& active() {
    static std::vector<ProgIdRegistration*> registrations;
    return registrations;
}

}  // namespace

HRESULT ProgIdRegistration::add(LPCWSTR progId, REFCLSID clsid) {
    const progids::Lock lock;
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
    const progids::Lock lock;
    if (!active_) {
        return;
    }
    auto& registrations = active();
    registrations.erase(std::remove(registrations.begin(), registrations.end(), this),
                        registrations.end());
    restore();
}

void ProgIdRegistration::restore() {
    active_ = false;
    if (hadPrevious_) {
        progids::write(progId_.c_str(), previous_);
    } else {
        progids::erase(progId_.c_str());
    }
}

void endAllRegistrations() {
    const progids::Lock lock;
    auto& registrations = active();
    while (!registrations.empty()) {
        ProgIdRegistration* latest = registrations.back();
        registrations.pop_back();
        latest->restore();
    }
}

}  // namespace tarvel::platform
