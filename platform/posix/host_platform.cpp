#include "../host_platform.h"

#include <dirent.h>
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace tarvel::platform {

std::vector<WString> commandLineArguments(int argc, char** argv) {
    std::vector<WString> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(utf16FromUtf8(argv[i]));
    }
    return arguments;
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
    return utf16FromUtf8(folder + "/libtarvel-search.so");
}

WString absoluteFolder(const WString& path) {
    char resolved[PATH_MAX];
    struct stat info;
    const std::string bytes = utf8FromUtf16(path);
    if (realpath(bytes.c_str(), resolved) == nullptr || stat(resolved, &info) != 0 ||
        !S_ISDIR(info.st_mode)) {
        return WString();
    }
    return utf16FromUtf8(resolved);
}

namespace {

void walk(const std::string& folder,
          const std::function<void(const WString& path, const WString& name)>& visit) {
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = (folder == "/" ? "" : folder) + "/" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0) {
            continue;
        }
        visit(utf16FromUtf8(path), utf16FromUtf8(name));
        if (S_ISDIR(info.st_mode)) {
            walk(path, visit);
        }
    }
    closedir(directory);
}

}  // namespace

void walkFolder(const WString& root,
                const std::function<void(const WString& path, const WString& name)>& visit) {
    walk(utf8FromUtf16(root), visit);
}

void writeOut(const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

void writeError(const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

ModuleLibrary::~ModuleLibrary() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

bool ModuleLibrary::load(const WString& path, std::string* reason) {
    handle_ = dlopen(utf8FromUtf16(path).c_str(), RTLD_NOW | RTLD_LOCAL);
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
