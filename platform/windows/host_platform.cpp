#include "../host_platform.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarvel::platform {

namespace {

// Long paths go through the \\?\ form, which has no MAX_PATH limit.
WString extended(const WString& path) {
    if (path.rfind(L"\\\\", 0) == 0) {
        return path;
    }
    return L"\\\\?\\" + path;
}

using Visit = std::function<void(const WString& path, const WString& name)>;
using Unreadable = std::function<void(const WString& folder, const std::string& reason)>;

std::string reasonOf(DWORD error) {
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    WString text = length != 0 ? WString(message, length) : WString();
    LocalFree(message);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L'.')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(error) : utf8FromUtf16(text);
}

void walk(const WString& folder, const Visit& visit, const Unreadable& unreadable) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(extended(folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            unreadable(folder, reasonOf(error));
        }
        return;
    }
    do {
        const WString name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const WString path = folder + L"\\" + name;
        visit(path, name);
        const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (directory && !link) {
            walk(path, visit, unreadable);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

std::vector<WString> commandLineArguments(int, char**) {
    std::vector<WString> arguments;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; words != nullptr && i < count; ++i) {
        arguments.push_back(words[i]);
    }
    LocalFree(words);
    return arguments;
}

std::string textForOutput(const WString& text) {
    return utf8FromUtf16(text);
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

WString absoluteFolder(const WString& path) {
    wchar_t full[32768];
    const DWORD length = GetFullPathNameW(path.c_str(), 32768, full, nullptr);
    if (length == 0 || length >= 32768) {
        return WString();
    }
    WString result(full, length);
    while (result.size() > 3 && (result.back() == L'\\' || result.back() == L'/')) {
        result.pop_back();
    }
    const DWORD attributes = GetFileAttributesW(extended(result).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return WString();
    }
    return result;
}

void walkFolder(const WString& root, const Visit& visit, const Unreadable& unreadable) {
    walk(root, visit, unreadable);
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
    handle_ = LoadLibraryW(path.c_str());
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
