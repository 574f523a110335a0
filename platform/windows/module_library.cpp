// Module files: loading one, and its version from its version resource.
#include "../host_platform.h"

#include <winver.h>

#include <vector>

#include "win32_handles.h"

namespace tarvel::platform {

std::string fileVersion(const WString& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) {
        return std::string();
    }
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        fixed == nullptr || length < sizeof *fixed) {
        return std::string();
    }
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionLS));
}

void ModuleLibrary::HandleTraits::close(Handle module) {
    FreeLibrary(static_cast<HMODULE>(module));
}

bool ModuleLibrary::load(const WString& path, std::string* reason) {
    // A bare name would be looked for along the loader's search path.
    const bool bare = path.find_first_of(L"\\/:") == WString::npos;
    handle_.reset(LoadLibraryW((bare ? L".\\" + path : path).c_str()));
    if (!handle_ && reason != nullptr) {
        const DWORD error = GetLastError();
        *reason = reasonOf(error) + " (error " + std::to_string(error) + ")";
    }
    return static_cast<bool>(handle_);
}

void* ModuleLibrary::symbol(const char* name) const {
    return handle_
               ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_.get()), name))
               : nullptr;
}

}  // namespace tarvel::platform
