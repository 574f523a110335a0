#include <string>

#include "../platform_support.h"
#include "win32_handles.h"

namespace tarvel::platform {

namespace {

const wchar_t kClasses[] = L"Software\\Classes\\";

std::wstring progIdKey(LPCWSTR progId) {
    return kClasses + std::wstring(progId);
}

std::wstring clsidKey(LPCWSTR progId) {
    return progIdKey(progId) + L"\\CLSID";
}

// Creates the key, volatile if it is new: it goes with the session whatever happens to the
// program that made it.
LONG createVolatile(HKEY root, const std::wstring& path, RegistryKey& key) {
    key.reset();
    return RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                           key.put(), nullptr);
}

HRESULT writeUnder(HKEY root, LPCWSTR progId, REFCLSID clsid) {
    wchar_t text[40];
    if (StringFromGUID2(clsid, text, 40) == 0) {
        return E_FAIL;
    }
    RegistryKey key;
    LONG status = createVolatile(root, progIdKey(progId), key);
    if (status == ERROR_SUCCESS) {
        status = createVolatile(root, clsidKey(progId), key);
    }
    if (status != ERROR_SUCCESS) {
        return HRESULT_FROM_WIN32(status);
    }
    status = RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            DWORD((lstrlenW(text) + 1) * sizeof(wchar_t)));
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

void eraseUnder(HKEY root, LPCWSTR progId) {
    RegDeleteKeyW(root, clsidKey(progId).c_str());
    RegDeleteKeyW(root, progIdKey(progId).c_str());
}

// Where registrations go: the current user's classes, which override the machine's for this
// user alone, wherever the system honours them (Windows does). Where it does not (Wine), the
// machine's classes of this prefix take the volatile keys instead.
HKEY classesRoot() {
    static const HKEY root = [] {
        const wchar_t probe[] = L"Tarvel.PerUserProbe.1";
        const CLSID marker = {
            0x7a3e0c11, 0x52d4, 0x4c6b, {0x9e, 0x1f, 0x35, 0x0d, 0x2a, 0x84, 0x6b, 0x90}};
        CLSID found{};
        const bool honoured = SUCCEEDED(writeUnder(HKEY_CURRENT_USER, probe, marker)) &&
                              SUCCEEDED(CLSIDFromProgID(probe, &found)) &&
                              IsEqualGUID(found, marker);
        eraseUnder(HKEY_CURRENT_USER, probe);
        return honoured ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    }();
    return root;
}

BOOL WINAPI onConsoleEvent(DWORD) {
    endAllRegistrations();
    return FALSE;  // the default handling ends the program
}

}  // namespace

bool machineRegisters(LPCWSTR progId, REFCLSID ours) {
    wchar_t text[64] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    CLSID registered{};
    return RegGetValueW(HKEY_LOCAL_MACHINE, clsidKey(progId).c_str(), nullptr, RRF_RT_REG_SZ,
                        nullptr, text, &size) == ERROR_SUCCESS &&
           SUCCEEDED(CLSIDFromString(text, &registered)) && !IsEqualGUID(registered, ours);
}

bool registrationsArePerUser() {
    return classesRoot() == HKEY_CURRENT_USER;
}

namespace progids {

bool read(LPCWSTR progId, CLSID* clsid) {
    wchar_t text[64] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    if (RegGetValueW(classesRoot(), clsidKey(progId).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text,
                     &size) != ERROR_SUCCESS) {
        return false;
    }
    return SUCCEEDED(CLSIDFromString(text, clsid));
}

HRESULT write(LPCWSTR progId, REFCLSID clsid) {
    return writeUnder(classesRoot(), progId, clsid);
}

void erase(LPCWSTR progId) {
    eraseUnder(classesRoot(), progId);
}

void endOnInterruption() {
    static const bool watching = SetConsoleCtrlHandler(onConsoleEvent, TRUE) != FALSE;
    (void)watching;
}

namespace {
SRWLOCK registrationsLock = SRWLOCK_INIT;
}  // namespace

Lock::Lock() {
    AcquireSRWLockExclusive(&registrationsLock);
}

Lock::~Lock() {
    ReleaseSRWLockExclusive(&registrationsLock);
}

}  // namespace progids

void disableBstrCache() {
    using SetOaNoCacheFn = void(WINAPI*)();
    HMODULE automation = GetModuleHandleW(L"oleaut32.dll");
    if (automation == nullptr) {
        automation = LoadLibraryW(L"oleaut32.dll");
    }
    if (automation == nullptr) {
        return;
    }
    auto setNoCache = reinterpret_cast<SetOaNoCacheFn>(GetProcAddress(automation, "SetOaNoCache"));
    if (setNoCache != nullptr) {
        setNoCache();
    }
}

}  // namespace tarvel::platform
