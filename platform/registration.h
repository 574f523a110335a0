// Registration of a COM class by ProgID for hosts and tests that serve their own objects. On
// Windows the ProgID goes to a volatile key under HKEY_CURRENT_USER\Software\Classes, which
// overrides the machine's for this user only and never outlives the session; the machine's own
// registration is not touched. Elsewhere it goes into the runtime's ProgID table. Whatever the
// user's own registration named before is put back when the registration ends, on Windows also
// when the console is interrupted (Ctrl-C, Ctrl-Break, closing the window).
#pragma once

#include <string>

#include "platform.h"

namespace tarvel::platform {

// The ProgID table a registration writes to (on Windows the current user's): what a ProgID
// names there, set and taken away.
namespace progids {
bool read(LPCWSTR progId, CLSID* clsid);
HRESULT write(LPCWSTR progId, REFCLSID clsid);
void erase(LPCWSTR progId);
// Has the registrations in place end when the console is interrupted, where one can be.
void endOnInterruption();
// Held while the registrations in place change or end: an interruption is handled on a thread
// of its own, and must meet them whole.
class Lock {
public:
    Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    ~Lock();
};
}  // namespace progids

// Ends every registration in place, latest first, as its remove() would: what a console
// interruption does, from whatever thread.
void endAllRegistrations();

// Whether the machine's own classes register progId for a class other than ours: a provider
// installed on the machine, which a registration of ours would shadow for this user.
bool machineRegisters(LPCWSTR progId, REFCLSID ours);

// Whether registrations are the current user's alone. Always on Windows; a system that does not
// honour per-user classes (Wine) gets volatile keys among the machine's classes instead, and
// elsewhere the runtime's table belongs to the process.
bool registrationsArePerUser();

class ProgIdRegistration {
public:
    ProgIdRegistration() = default;
    ProgIdRegistration(const ProgIdRegistration&) = delete;
    ProgIdRegistration& operator=(const ProgIdRegistration&) = delete;
    ~ProgIdRegistration() { remove(); }

    HRESULT add(LPCWSTR progId, REFCLSID clsid);
    void remove();

private:
    friend void endAllRegistrations();
    // Puts back what the user's registration named before; under the lock.
    void restore();

    std::basic_string<WCHAR> progId_;
    bool active_ = false;
    bool hadPrevious_ = false;
    CLSID previous_{};
};

}  // namespace tarvel::platform
