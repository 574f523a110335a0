#include "../host_platform.h"

#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace tarvel::platform {

std::vector<WString> commandLineArguments(int argc, char** argv) {
    std::vector<WString> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(utf16FromFileName(argv[i]));
    }
    return arguments;
}

std::string textForOutput(const WString& text) {
    return fileNameFromUtf16(text);
}

bool hasRealSearchService() {
    return false;
}

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

WString absoluteFolder(const WString& path) {
    char resolved[PATH_MAX];
    struct stat info;
    const std::string bytes = fileNameFromUtf16(path);
    if (realpath(bytes.c_str(), resolved) == nullptr || stat(resolved, &info) != 0 ||
        !S_ISDIR(info.st_mode)) {
        return WString();
    }
    return utf16FromFileName(resolved);
}

std::vector<WString> filesIn(const WString& folder) {
    std::vector<WString> names;
    DIR* directory = opendir(fileNameFromUtf16(folder).c_str());
    if (directory == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(directory)) {
        struct stat info;
        if (fstatat(dirfd(directory), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode)) {
            names.push_back(utf16FromFileName(entry->d_name));
        }
    }
    closedir(directory);
    return names;
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

std::string fileVersion(const WString&) {
    return std::string();
}

ServiceStatus serviceStatus(const WString&) {
    ServiceStatus status;
    status.reason = "this system has no Windows service control manager";
    return status;
}

namespace {

using Visit = std::function<void(const WString& path, const WString& name)>;
using Unreadable = std::function<void(const WString& folder, const std::string& reason)>;

// Walks the folder open as descriptor (which it closes), reaching each entry relative to its
// folder, so that no path handed to the system grows with the depth.
void walk(int descriptor, const std::string& folder, const Visit& visit,
          const Unreadable& unreadable) {
    DIR* directory = fdopendir(descriptor);
    if (directory == nullptr) {
        unreadable(utf16FromFileName(folder), std::strerror(errno));
        close(descriptor);
        return;
    }
    const std::string prefix = folder == "/" ? "" : folder;
    bool searchable = true;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(directory);
        if (entry == nullptr) {
            if (errno != 0) {
                unreadable(utf16FromFileName(folder), std::strerror(errno));
            }
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        bool isFolder = entry->d_type == DT_DIR;
        struct stat info;
        if (fstatat(dirfd(directory), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
            isFolder = S_ISDIR(info.st_mode);
        } else if (errno == ENOENT) {
            continue;  // gone since it was listed
        } else if (searchable) {
            // Listed but not searchable: the names are known, nothing below them.
            searchable = false;
            unreadable(utf16FromFileName(folder), std::strerror(errno));
        }
        const std::string path = prefix + "/" + name;
        visit(utf16FromFileName(path), utf16FromFileName(name));
        if (isFolder && searchable) {
            const int child = openat(dirfd(directory), name.c_str(),
                                     O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0) {
                unreadable(utf16FromFileName(path), std::strerror(errno));
            } else {
                walk(child, path, visit, unreadable);
            }
        }
    }
    closedir(directory);
}

}  // namespace

void walkFolder(const WString& root, const Visit& visit, const Unreadable& unreadable) {
    const std::string folder = fileNameFromUtf16(root);
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        unreadable(root, std::strerror(errno));
        return;
    }
    walk(descriptor, folder, visit, unreadable);
}

void prepareStandardStreams() {}

ModuleLibrary::~ModuleLibrary() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

bool ModuleLibrary::load(const WString& path, std::string* reason) {
    handle_ = dlopen(fileNameFromUtf16(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr && reason != nullptr) {
        const char* error = dlerror();
        *reason = error != nullptr ? error : "unknown error";
    }
    return handle_ != nullptr;
}

void* ModuleLibrary::symbol(const char* name) const {
    return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

}  // namespace tarvel::platform
