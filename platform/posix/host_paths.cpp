// Paths and folders: the module beside the program, a folder's absolute form and its files,
// and paths as the crawl scope names them.
#include "../host_platform.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "host_descriptors.h"

namespace tarvel::platform {

WString defaultModulePath() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder = ".";
    if (length > 0) {
        folder.assign(self, size_t(length));
        folder = folder.substr(0, folder.find_last_of('/'));
    }
    return utf16FromFileName(folder + "/libtarvel-search.so");
}

WString absoluteFolder(const WString& path, std::string* problem) {
    char resolved[PATH_MAX];
    struct stat info {};
    const std::string bytes = fileNameFromUtf16(path);
    const bool found = realpath(bytes.c_str(), resolved) != nullptr;
    if (found && stat(resolved, &info) == 0 && S_ISDIR(info.st_mode)) {
        return utf16FromFileName(resolved);
    }
    if (problem != nullptr) {
        const int error = found ? ENOTDIR : errno;
        *problem = error == ENOENT         ? "no such folder"
                   : error == ENOTDIR      ? "not a folder"
                   : error == ENAMETOOLONG ? "name too long"
                                           : std::strerror(error);
    }
    return WString();
}

bool filesIn(const WString& folder, std::vector<WString>& names, std::string* reason) {
    names.clear();
    const FolderListing directory(opendir(fileNameFromUtf16(folder).c_str()));
    if (!directory) {
        *reason = std::strerror(errno);
        return false;
    }
    while (const dirent* entry = readdir(directory.get())) {
        struct stat info {};
        if (fstatat(dirfd(directory.get()), entry->d_name, &info, 0) == 0 &&
            S_ISREG(info.st_mode)) {
            names.push_back(utf16FromFileName(entry->d_name));
        }
    }
    return true;
}

WString childPath(const WString& folder, const WString& name) {
    if (!folder.empty() && folder.back() == u'/') {
        return folder + name;
    }
    return folder + u'/' + name;
}

WString folderUrl(const WString& folder) {
    WString url = utf16FromUtf8("file://") + folder;
    if (url.back() != u'/') {
        url += u'/';
    }
    return url;
}

bool folderOfUrl(const WString& url, WString& folder) {
    const WString scheme = utf16FromUtf8("file://");
    if (url.rfind(scheme, 0) != 0 || url.size() == scheme.size() || url[scheme.size()] != u'/') {
        return false;
    }
    folder = url.substr(scheme.size());
    for (WCHAR& unit : folder) {
        unit = unit == u'\\' ? u'/' : unit;
    }
    while (folder.size() > 1 && folder.back() == u'/') {
        folder.pop_back();
    }
    return true;
}

bool pathWithin(const WString& path, const WString& folder) {
    if (path.rfind(folder, 0) != 0) {
        return false;
    }
    return path.size() == folder.size() || folder == utf16FromUtf8("/") ||
           path[folder.size()] == u'/';
}

bool samePath(const WString& a, const WString& b) {
    return a == b;
}

}  // namespace tarvel::platform
