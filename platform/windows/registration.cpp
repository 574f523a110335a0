#include <string>

#include "../platform_support.h"

namespace tarvel::platform {

namespace {

std::wstring clsidKey(const std::wstring& progId) {
    return progId + L"\\CLSID";
}

HRESULT writeClsid(const std::wstring& progId, REFCLSID clsid) {
    wchar_t text[40];
    if (StringFromGUID2(clsid, text, 40) == 0) {
        return E_FAIL;
    }
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, clsidKey(progId).c_str(), 0, nullptr, 0,
                                  KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        return HRESULT_FROM_WIN32(status);
    }
    status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            DWORD((lstrlenW(text) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

}  // namespace

HRESULT ProgIdRegistration::add(LPCWSTR progId, REFCLSID clsid) {
    if (progId == nullptr || active_) {
        return E_INVALIDARG;
    }
    hadPrevious_ = SUCCEEDED(CLSIDFromProgID(progId, &previous_));
    const HRESULT hr = writeClsid(progId, clsid);
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
        writeClsid(progId_, previous_);
        return;
    }
    RegDeleteKeyW(HKEY_CLASSES_ROOT, clsidKey(progId_).c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, progId_.c_str());
}

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
