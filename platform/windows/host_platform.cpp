#include "../host_platform.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <winsvc.h>
#include <winver.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "win32_handles.h"

namespace tarvel::platform {

namespace {

// Long paths go through the \\?\ form, which has no MAX_PATH limit.
WString extended(const WString& path) {
    if (path.rfind(L"\\\\", 0) == 0) {
        return path;
    }
    return L"\\\\?\\" + path;
}

std::string reasonOf(DWORD error) {
    LocalMemory<wchar_t> message;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(message.put()), 0, nullptr);
    WString text = length != 0 ? WString(message.get(), length) : WString();
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L'.')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(error) : utf8FromUtf16(text);
}

}  // namespace

std::vector<WString> commandLineArguments(int, char**) {
    std::vector<WString> arguments;
    int count = 0;
    const LocalMemory<LPWSTR> words(CommandLineToArgvW(GetCommandLineW(), &count));
    for (int i = 1; words && i < count; ++i) {
        arguments.push_back(words.get()[i]);
    }
    return arguments;
}

std::string textForOutput(const WString& text) {
    return utf8FromUtf16(text);
}

char* putForOutput(char* to, const WCHAR* text, size_t length) {
    return putUtf8FromUtf16(to, text, length);
}

bool hasRealSearchService() {
    return true;
}

WString defaultModulePath() {
    wchar_t self[32768];
    const DWORD length = GetModuleFileNameW(nullptr, self, 32768);
    WString folder(self, length);
    folder = folder.substr(0, folder.find_last_of(L"\\/"));
    return folder + L"\\tarvel-search.dll";
}

WString absoluteFolder(const WString& path, std::string* problem) {
    const auto none = [problem](const char* why) {
        if (problem != nullptr) {
            *problem = why;
        }
        return WString();
    };
    wchar_t full[32768];
    const DWORD length = GetFullPathNameW(path.c_str(), 32768, full, nullptr);
    if (length == 0 || length >= 32768) {
        return none(length == 0 && GetLastError() != ERROR_FILENAME_EXCED_RANGE ? "no such folder"
                                                                                : "name too long");
    }
    WString result(full, length);
    while (result.size() > 3 && (result.back() == L'\\' || result.back() == L'/')) {
        result.pop_back();
    }
    const DWORD attributes = GetFileAttributesW(extended(result).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH) {
            return none("no such folder");
        }
        if (problem != nullptr) {
            *problem = error == ERROR_FILENAME_EXCED_RANGE ? "name too long" : reasonOf(error);
        }
        return WString();
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return none("not a folder");
    }
    return result;
}

bool filesIn(const WString& folder, std::vector<WString>& names, std::string* reason) {
    names.clear();
    WIN32_FIND_DATAW found;
    const FindHandle search(FindFirstFileExW(extended(childPath(folder, L"*")).c_str(),
                                             FindExInfoBasic, &found, FindExSearchNameMatch,
                                             nullptr, 0));
    if (!search) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return true;  // a drive's empty root: nothing in it, not even . and ..
        }
        *reason = reasonOf(error);
        return false;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            names.push_back(found.cFileName);
        }
    } while (FindNextFileW(search.get(), &found));
    return true;
}

WString childPath(const WString& folder, const WString& name) {
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) {
        return folder + name;
    }
    return folder + L"\\" + name;
}

WString folderUrl(const WString& folder) {
    WString path = folder;
    for (wchar_t& unit : path) {
        unit = unit == L'\\' ? L'/' : unit;
    }
    // A share (//server/share) keeps its server as the URL's host.
    WString url = path.rfind(L"//", 0) == 0 ? L"file:" + path : L"file:///" + path;
    if (url.back() != L'/') {
        url += L'/';
    }
    return url;
}

bool folderOfUrl(const WString& url, WString& folder) {
    if (url.size() < 8 || CompareStringOrdinal(url.c_str(), 7, L"file://", 7, TRUE) != CSTR_EQUAL) {
        return false;
    }
    WString path = url.substr(7);
    for (wchar_t& unit : path) {
        unit = unit == L'/' ? L'\\' : unit;
    }
    if (path.size() >= 3 && path[0] == L'\\' && path[2] == L':') {
        path.erase(0, 1);  // file:///C:/... names C:\...
    } else if (!path.empty() && path[0] != L'\\') {
        path = L"\\\\" + path;  // file://server/share/... names \\server\share\...
    }
    while (path.size() > 3 && path.back() == L'\\') {
        path.pop_back();
    }
    folder = path;
    return !folder.empty();
}

bool samePath(const WString& a, const WString& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool pathWithin(const WString& path, const WString& folder) {
    if (path.size() < folder.size() ||
        CompareStringOrdinal(path.c_str(), int(folder.size()), folder.c_str(), int(folder.size()),
                             TRUE) != CSTR_EQUAL) {
        return false;
    }
    return path.size() == folder.size() || folder.back() == L'\\' || path[folder.size()] == L'\\';
}

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

namespace {

const char* stateName(DWORD state) {
    switch (state) {
        case SERVICE_RUNNING:
            return "running";
        case SERVICE_STOPPED:
            return "stopped";
        case SERVICE_START_PENDING:
            return "starting";
        case SERVICE_STOP_PENDING:
            return "stopping";
        case SERVICE_PAUSED:
            return "paused";
        default:
            return "changing state";
    }
}

std::string startTypeName(SC_HANDLE service, DWORD type) {
    switch (type) {
        case SERVICE_AUTO_START: {
            SERVICE_DELAYED_AUTO_START_INFO delayed{};
            DWORD needed = 0;
            const bool isDelayed =
                QueryServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO,
                                     reinterpret_cast<BYTE*>(&delayed), sizeof delayed, &needed) &&
                delayed.fDelayedAutostart;
            return isDelayed ? "automatic (delayed start)" : "automatic";
        }
        case SERVICE_DEMAND_START:
            return "manual";
        case SERVICE_DISABLED:
            return "disabled";
        default:
            return "boot or system";
    }
}

}  // namespace

ServiceStatus serviceStatus(const WString& name) {
    ServiceStatus status;
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        status.reason = reasonOf(GetLastError());
        return status;
    }
    const ServiceHandle service(
        OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    if (!service) {
        const DWORD error = GetLastError();
        status.queried = error == ERROR_SERVICE_DOES_NOT_EXIST;
        status.reason = reasonOf(error);
        return status;
    }
    status.installed = true;
    SERVICE_STATUS_PROCESS process{};
    DWORD needed = 0;
    if (QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                             reinterpret_cast<BYTE*>(&process), sizeof process, &needed)) {
        status.queried = true;
        status.running = process.dwCurrentState == SERVICE_RUNNING;
        status.state = stateName(process.dwCurrentState);
    } else {
        status.reason = reasonOf(GetLastError());
    }
    QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> config(needed != 0 ? needed : 1);
    auto* settings = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data());
    if (needed != 0 && QueryServiceConfigW(service.get(), settings, needed, &needed)) {
        status.disabled = settings->dwStartType == SERVICE_DISABLED;
        status.startType = startTypeName(service.get(), settings->dwStartType);
    }
    return status;
}

// One open search for each level of the walk; the item just seen is the last one found in the
// deepest folder. Every level's folder path is the start of the current item's path.
struct FolderWalk::State {
    struct Level {
        FindHandle search;
        size_t pathLength;
        WIN32_FIND_DATAW found;
        bool pending;  // found holds an item not yet seen
    };
    std::vector<Level> levels;
    Unreadable unreadable;
    WString path;  // the current item's path
    bool entering = false;

    // Opens the folder whose path path holds.
    void open() {
        Level level{FindHandle(), path.size(), {}, true};
        level.search.reset(FindFirstFileExW(extended(childPath(path, L"*")).c_str(),
                                            FindExInfoBasic, &level.found, FindExSearchNameMatch,
                                            nullptr, 0));
        if (!level.search) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && unreadable) {
                unreadable(path, reasonOf(error));
            }
            return;
        }
        levels.push_back(std::move(level));
    }
};

FolderWalk::FolderWalk(const WString& root, Unreadable unreadable)
    : state_(std::make_unique<State>(State{{}, std::move(unreadable), root, false})) {
    state_->open();
}

FolderWalk::~FolderWalk() = default;

WString FolderWalk::path() const {
    return state_->path;
}

bool FolderWalk::next() {
    State& state = *state_;
    if (state.entering) {
        state.entering = false;
        state.open();
    }
    while (!state.levels.empty()) {
        State::Level& level = state.levels.back();
        if (!level.pending && !FindNextFileW(level.search.get(), &level.found)) {
            const DWORD error = GetLastError();
            if (error != ERROR_NO_MORE_FILES && state.unreadable) {
                state.unreadable(state.path.substr(0, level.pathLength), reasonOf(error));
            }
            state.levels.pop_back();
            continue;
        }
        level.pending = false;
        const wchar_t* name = level.found.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) {
            continue;
        }
        name_ = name;
        state.path.resize(level.pathLength);
        if (state.path.empty() || (state.path.back() != L'\\' && state.path.back() != L'/')) {
            state.path += L'\\';
        }
        state.path += name_;
        const DWORD attributes = level.found.dwFileAttributes;
        state.entering = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        return true;
    }
    return false;
}

bool noReaderAfter(int error) {
    // The C runtimes map only some of the pipe's errors to EPIPE.
    const DWORD system = GetLastError();
    return error == EPIPE || system == ERROR_BROKEN_PIPE || system == ERROR_NO_DATA ||
           system == ERROR_PIPE_NOT_CONNECTED;
}

void prepareStandardStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

ModuleLibrary::~ModuleLibrary() {
    if (handle_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle_));
    }
}

bool ModuleLibrary::load(const WString& path, std::string* reason) {
    // A bare name would be looked for along the loader's search path.
    const bool bare = path.find_first_of(L"\\/:") == WString::npos;
    handle_ = LoadLibraryW((bare ? L".\\" + path : path).c_str());
    if (handle_ == nullptr && reason != nullptr) {
        *reason = "error " + std::to_string(GetLastError());
    }
    return handle_ != nullptr;
}

void* ModuleLibrary::symbol(const char* name) const {
    return handle_ != nullptr
               ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name))
               : nullptr;
}

}  // namespace tarvel::platform
