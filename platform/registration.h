// Registration of a COM class by ProgID for hosts and tests that serve their own objects. On
// Windows the ProgID goes to the registry under HKEY_CLASSES_ROOT; elsewhere into the runtime's
// ProgID table. Whatever the ProgID named before is put back when the registration ends, so a
// machine's own registration survives a run.
#pragma once

#include <string>

#include "platform.h"

namespace tarvel::platform {

// The platform's own ProgID table: what a ProgID names, set and taken away.
namespace progids {
HRESULT write(LPCWSTR progId, REFCLSID clsid);
void erase(LPCWSTR progId);
}  // namespace progids

class ProgIdRegistration {
public:
    ProgIdRegistration() = default;
    ProgIdRegistration(const ProgIdRegistration&) = delete;
    ProgIdRegistration& operator=(const ProgIdRegistration&) = delete;
    ~ProgIdRegistration() { remove(); }

    HRESULT add(LPCWSTR progId, REFCLSID clsid);
    void remove();

private:
    std::basic_string<WCHAR> progId_;
    bool active_ = false;
    bool hadPrevious_ = false;
    CLSID previous_{};
};

}  // namespace tarvel::platform
