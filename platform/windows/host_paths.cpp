// Paths and folders: the module beside the program, a folder's absolute form and its files,
// and paths as the crawl scope names them.
#include "../host_platform.h"

#include "win32_handles.h"

namespace tarvel::platform {

WString extendedPath(const WString& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) {
        return path;
    }
    if (path.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + path.substr(2);  // \\server\share\... names a share
    }
    return L"\\\\?\\" + path;
}

bool indexedFile(DWORD attributes) {
    // Cloud placeholders whose data is not on the disk, as OneDrive leaves them.
    constexpr DWORD kRecallOnOpen = 0x40000;
    constexpr DWORD kRecallOnDataAccess = 0x400000;
    constexpr DWORD kSkipped = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY |
                               FILE_ATTRIBUTE_OFFLINE | kRecallOnOpen | kRecallOnDataAccess;
    return (attributes & kSkipped) == 0;
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
    const DWORD attributes = GetFileAttributesW(extendedPath(result).c_str());
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
    const FindHandle search(FindFirstFileExW(extendedPath(childPath(folder, L"*")).c_str(),
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
        if (indexedFile(found.dwFileAttributes)) {
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

}  // namespace tarvel::platform
