// Paths and folders: the module beside the program, a folder's absolute form and its files,
// and paths as the crawl scope names them.
#include "../host_platform.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

Descriptor openFolder(const std::string& path, int access) {
    const int flags = access | O_DIRECTORY | O_CLOEXEC;
    Descriptor folder(open(path.c_str(), flags));
    if (folder || errno != ENAMETOOLONG || path.empty() || path[0] != '/') {
        return folder;
    }
    // Each folder on the way needs only to be searched; the last is opened as asked.
    folder.reset(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (size_t start = 1; folder && start < path.size();) {
        const size_t end = std::min(path.find('/', start), path.size());
        const size_t next = path.find_first_not_of('/', end);
        if (end > start) {
            const std::string name = path.substr(start, end - start);
            const bool last = next == std::string::npos;
            folder.reset(openat(folder.get(), name.c_str(),
                                last ? flags : O_PATH | O_DIRECTORY | O_CLOEXEC));
        }
        start = end + 1;
    }
    return folder;
}

namespace {

// The absolute form of a path too long for realpath, made from its names: without . and
// doubled slashes; empty for one that goes up by .., which only the system can resolve.
std::string longAbsolute(const std::string& path) {
    std::string absolute;
    if (path.empty() || path[0] != '/') {
        char* current = getcwd(nullptr, 0);
        if (current == nullptr) {
            return std::string();
        }
        absolute = current;
        free(current);
    }
    for (size_t start = 0; start < path.size();) {
        const size_t end = std::min(path.find('/', start), path.size());
        const std::string name = path.substr(start, end - start);
        if (name == "..") {
            return std::string();
        }
        if (!name.empty() && name != ".") {
            absolute.append(1, '/').append(name);
        }
        start = end + 1;
    }
    return absolute.empty() ? std::string("/") : absolute;
}

}  // namespace

WString absoluteFolder(const WString& path, std::string* problem) {
    const std::string bytes = fileNameFromUtf16(path);
    std::string resolved;
    if (char* found = realpath(bytes.c_str(), nullptr)) {
        resolved = found;
        free(found);
    } else if (errno == ENAMETOOLONG) {
        resolved = longAbsolute(bytes);
        errno = ENAMETOOLONG;
    }
    struct stat info {};
    const Descriptor folder = resolved.empty() ? Descriptor() : openFolder(resolved, O_PATH);
    if (folder && fstat(folder.get(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return utf16FromFileName(resolved);
    }
    if (problem != nullptr) {
        const int error = errno;
        *problem = error == ENOENT         ? "no such folder"
                   : error == ENOTDIR      ? "not a folder"
                   : error == ENAMETOOLONG ? "name too long"
                                           : std::strerror(error);
    }
    return WString();
}

bool filesIn(const WString& folder, std::vector<WString>& names, std::string* reason) {
    names.clear();
    const FolderListing directory = listingOf(openFolder(fileNameFromUtf16(folder), O_RDONLY));
    if (!directory) {
        *reason = std::strerror(errno);
        return false;
    }
    errno = 0;
    while (const dirent* entry = readdir(directory.get())) {
        struct stat info {};
        if (fstatat(dirfd(directory.get()), entry->d_name, &info, 0) == 0) {
            if (S_ISREG(info.st_mode)) {
                names.push_back(utf16FromFileName(entry->d_name));
            }
        } else if (errno != ENOENT) {
            // A folder that can be listed but not searched: its files cannot be reached.
            *reason = std::strerror(errno);
            return false;
        }
        errno = 0;
    }
    if (errno != 0) {
        *reason = std::strerror(errno);
        return false;
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
