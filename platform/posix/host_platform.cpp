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
#include <vector>

#include "../common/unique_resource.h"

namespace tarvel::platform {

namespace {

struct FolderListingTraits {
    using Handle = DIR*;
    static Handle empty() { return nullptr; }
    static void close(Handle listing) { closedir(listing); }
};
using FolderListing = UniqueResource<FolderListingTraits>;

struct DescriptorTraits {
    using Handle = int;
    static Handle empty() { return -1; }
    static void close(Handle descriptor) { ::close(descriptor); }
};
using Descriptor = UniqueResource<DescriptorTraits>;

// A folder's listing, opened through its descriptor, which the listing then owns.
FolderListing listingOf(Descriptor descriptor) {
    FolderListing listing;
    if (descriptor) {
        listing.reset(fdopendir(descriptor.get()));
        if (listing) {
            descriptor.release();
        }
    }
    return listing;
}

}  // namespace

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
    struct stat info {};
    const std::string bytes = fileNameFromUtf16(path);
    if (realpath(bytes.c_str(), resolved) == nullptr || stat(resolved, &info) != 0 ||
        !S_ISDIR(info.st_mode)) {
        return WString();
    }
    return utf16FromFileName(resolved);
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

std::string fileVersion(const WString&) {
    return std::string();
}

ServiceStatus serviceStatus(const WString&) {
    ServiceStatus status;
    status.reason = "this system has no Windows service control manager";
    return status;
}

// One open folder for each level of the walk; the item just seen is the last one read from the
// deepest folder.
struct FolderWalk::State {
    struct Level {
        FolderListing folder;
        std::string path;
        bool searchable;
    };
    std::vector<Level> levels;
    Unreadable unreadable;
    std::string path;      // the current item's path, in the system's bytes
    std::string entering;  // a folder just seen, whose items come next
};

namespace {

void report(const FolderWalk::Unreadable& unreadable, const std::string& folder, int error) {
    if (unreadable) {
        unreadable(utf16FromFileName(folder), std::strerror(error));
    }
}

}  // namespace

FolderWalk::FolderWalk(const WString& root, Unreadable unreadable)
    : state_(std::make_unique<State>(State{{}, std::move(unreadable), {}, {}})) {
    const std::string folder = fileNameFromUtf16(root);
    FolderListing listing =
        listingOf(Descriptor(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (!listing) {
        report(state_->unreadable, folder, errno);
        return;
    }
    state_->levels.push_back(State::Level{std::move(listing), folder == "/" ? "" : folder, true});
}

FolderWalk::~FolderWalk() = default;

WString FolderWalk::path() const {
    return utf16FromFileName(state_->path);
}

bool FolderWalk::next() {
    State& state = *state_;
    if (!state.entering.empty()) {
        // Reached relative to its folder, so that no path handed to the system grows with the
        // depth.
        State::Level& parent = state.levels.back();
        FolderListing listing =
            listingOf(Descriptor(openat(dirfd(parent.folder.get()), state.entering.c_str(),
                                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)));
        state.entering.clear();
        if (!listing) {
            report(state.unreadable, state.path, errno);
        } else {
            // A folder that can be listed but not searched: its names are known, nothing below
            // them.
            const bool searchable = faccessat(dirfd(listing.get()), ".", X_OK, AT_EACCESS) == 0;
            if (!searchable) {
                report(state.unreadable, state.path, errno);
            }
            state.levels.push_back(State::Level{std::move(listing), state.path, searchable});
        }
    }
    while (!state.levels.empty()) {
        State::Level& level = state.levels.back();
        errno = 0;
        const dirent* entry = readdir(level.folder.get());
        if (entry == nullptr) {
            if (errno != 0) {
                report(state.unreadable, level.path.empty() ? "/" : level.path, errno);
            }
            state.levels.pop_back();
            continue;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) {
            continue;
        }
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            if (fstatat(dirfd(level.folder.get()), name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
                isFolder = S_ISDIR(info.st_mode);
            } else if (errno == ENOENT) {
                continue;  // gone since it was listed
            }
        }
        state.path.assign(level.path).append(1, '/').append(name);
        name_ = utf16FromFileName(name);
        if (isFolder && level.searchable) {
            state.entering = name;
        }
        return true;
    }
    return false;
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
