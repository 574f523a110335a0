#include "../host_platform.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

namespace tarvel::platform {

namespace {

// Long paths go through the \\?\ form, which has no MAX_PATH limit.
WString extended(const WString& path) {
    if (path.rfind(L"\\\\", 0) == 0) {
        return path;
    }
    return L"\\\\?\\" + path;
}

void walk(const WString& folder,
          const std::function<void(const WString& path, const WString& name)>& visit) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(extended(folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
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
            walk(path, visit);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void writeTo(FILE* stream, const std::string& bytes) {
    static const bool binary = [] {
        _setmode(_fileno(stdout), _O_BINARY);
        _setmode(_fileno(stderr), _O_BINARY);
        return true;
    }();
    (void)binary;
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
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

void walkFolder(const WString& root,
                const std::function<void(const WString& path, const WString& name)>& visit) {
    walk(root, visit);
}

void writeOut(const std::string& bytes) {
    writeTo(stdout, bytes);
}

void writeError(const std::string& bytes) {
    writeTo(stderr, bytes);
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
