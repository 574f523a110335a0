#include "server_registration_windows.h"

#include "shipped_files_windows.h"
#include "windows/win32_handles.h"

namespace tarvel::testing {

namespace {

const wchar_t kServerKey[] = L"Software\\Classes\\CLSID\\{7D096C5F-AC08-4F1F-BEB7-5C22C517CE39}";

using Entry = HRESULT(WINAPI*)();

Entry entry(HMODULE library, const char* name) {
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

ServerRegistration::ServerRegistration(const std::wstring& server) {
    proxies_ = LoadLibraryW(shippedFile(L"tarvel-search-ps.dll").c_str());
    const Entry registerProxies = entry(proxies_, "DllRegisterServer");
    const std::wstring command = L"\"" + server + L"\"";
    platform::RegistryKey key;
    registered_ =
        registerProxies != nullptr && SUCCEEDED(registerProxies()) &&
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kServerKey) + L"\\LocalServer32").c_str(),
                        0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) == ERROR_SUCCESS &&
        RegSetValueExW(key.get(), nullptr, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(command.c_str()),
                       DWORD((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

ServerRegistration::~ServerRegistration() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kServerKey);
    if (const Entry unregisterProxies = entry(proxies_, "DllUnregisterServer")) {
        unregisterProxies();
    }
    FreeLibrary(proxies_);
}

bool underWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace tarvel::testing
