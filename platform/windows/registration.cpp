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

namespace progids {

HRESULT write(LPCWSTR progId, REFCLSID clsid) {
    return writeClsid(progId, clsid);
}

void erase(LPCWSTR progId) {
    RegDeleteKeyW(HKEY_CLASSES_ROOT, clsidKey(progId).c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, progId);
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
