// Owners of the Win32 handles the host's platform code opens, each closed by its own function,
// and what several of its files need: long paths and the system's reasons.
#pragma once

#include "platform_windows.h"
// after windows.h, which it needs
#include <winsvc.h>

#include <string>

#include "../common/unique_resource.h"
#include "../common/utf.h"

namespace tarvel::platform {

struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static Handle empty() { return nullptr; }
    static void close(Handle handle) { CloseServiceHandle(handle); }
};
using ServiceHandle = UniqueResource<ServiceHandleTraits>;

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle empty() { return nullptr; }
    static void close(Handle handle) { RegCloseKey(handle); }
};
using RegistryKey = UniqueResource<RegistryKeyTraits>;

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle empty() { return INVALID_HANDLE_VALUE; }
    static void close(Handle handle) { FindClose(handle); }
};
using FindHandle = UniqueResource<FindHandleTraits>;

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle empty() { return nullptr; }
    static void close(Handle handle) { CloseHandle(handle); }
};
using KernelHandle = UniqueResource<KernelHandleTraits>;

// A block the system allocated with LocalAlloc for the caller.
template <class T>
struct LocalMemoryTraits {
    using Handle = T*;
    static Handle empty() { return nullptr; }
    static void close(Handle block) { LocalFree(block); }
};
template <class T>
using LocalMemory = UniqueResource<LocalMemoryTraits<T>>;

// A path in the \\?\ form (\\?\UNC\ for a share), which has no MAX_PATH limit.
WString extendedPath(const WString& path);
// Whether a file with these attributes is one Windows Search holds: not a folder, nor hidden,
// system, temporary, offline or a cloud placeholder whose data is not on the disk
// (desktop.ini, Thumbs.db, a OneDrive file online only).
bool indexedFile(DWORD attributes);
// The system's message for an error, without its final full stop.
std::string reasonOf(DWORD error);

}  // namespace tarvel::platform
