#include "../host_platform.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "host_descriptors.h"

namespace tarvel::platform {

// The walk holds one open folder, the deepest, however deep it is, and the root. Going down,
// the rest of the folder it leaves is read ahead and the folder closed. Coming back up, the
// folder is opened again as ".." of the one below and known by its device and inode; where
// ".." cannot be had or names another folder (the one below was moved, or lost its search
// permission), the folder is reopened from the root a name at a time, each known by its device
// and inode, so that no path handed to the system grows with the depth and only a folder that
// really moved is taken for gone. A folder that can be listed but not searched keeps its
// parent's descriptor while it is listed. Every level's folder path is the start of the current
// item's path.
struct FolderWalk::State {
    struct Level {
        std::string ahead;  // the entries read ahead: a type, the name and a NUL each
        size_t next = 0;
        size_t pathLength = 0;
        dev_t device = 0;
        ino_t inode = 0;
        // Whether the walk goes into its folders: not for one that cannot be searched, nor once
        // it cannot be reached again.
        bool searchable = true;
        Descriptor parent;  // held while a folder that cannot be searched is listed
    };
    std::vector<Level> levels;
    Unreadable unreadable;
    Descriptor root;
    // The deepest folder: its listing while it is read, or the folder alone once it is read.
    FolderListing listing;
    Descriptor folder;
    WString path;          // the current item's path
    std::string entering;  // a folder just seen, whose items come next

    int descriptor() const { return listing ? dirfd(listing.get()) : folder.get(); }
    void report(size_t pathLength, const std::string& reason) const {
        if (unreadable) {
            unreadable(pathLength == 0 ? WString(1, u'/') : path.substr(0, pathLength), reason);
        }
    }
    // Makes the folder opened as descriptor the deepest level.
    bool push(Descriptor descriptor, size_t pathLength);
    // Reads the rest of the deepest folder's listing into its level, and closes it.
    void readAhead();
    void enter();
    void leave();
    // The folder of the deepest level, opened again from the root; empty when one on the way
    // moved or cannot be searched any more, which is reported once, and below which nothing
    // more is entered.
    Descriptor reopen();
};

namespace {

constexpr char kFolder = 'd';
constexpr char kOther = 'f';

bool isDots(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

char typeOf(const dirent& entry) {
    return entry.d_type == DT_DIR ? kFolder : entry.d_type == DT_UNKNOWN ? '?' : kOther;
}

}  // namespace

namespace {

// How a folder is opened again on the way up: to find what lies in it, never to list it, since
// the rest of its names were read ahead; so it needs no permission to read.
constexpr int kKnown = O_PATH | O_DIRECTORY | O_CLOEXEC;

bool sameFolder(int descriptor, dev_t device, ino_t inode) {
    struct stat info {};
    return descriptor >= 0 && fstat(descriptor, &info) == 0 && info.st_dev == device &&
           info.st_ino == inode;
}

Descriptor duplicate(int descriptor) {
    return Descriptor(descriptor >= 0 ? fcntl(descriptor, F_DUPFD_CLOEXEC, 0) : -1);
}

}  // namespace

bool FolderWalk::State::push(Descriptor opened, size_t pathLength) {
    struct stat info {};
    if (fstat(opened.get(), &info) != 0) {
        report(pathLength, std::strerror(errno));
        return false;
    }
    // A folder that can be listed but not searched: its names are known, nothing below them,
    // and ".." cannot be opened from it.
    const bool searchable = faccessat(opened.get(), ".", X_OK, AT_EACCESS) == 0;
    const int unsearchable = errno;
    FolderListing read = listingOf(std::move(opened));
    if (!read) {
        report(pathLength, std::strerror(errno));
        return false;
    }
    Level level;
    level.pathLength = pathLength;
    level.device = info.st_dev;
    level.inode = info.st_ino;
    level.searchable = searchable;
    if (!searchable) {
        report(pathLength, std::strerror(unsearchable));
        if (!levels.empty()) {
            level.parent = duplicate(descriptor());
        }
    }
    // The folder above is read ahead by now, or no longer open.
    if (listing) {
        readAhead();
    }
    folder.reset();
    listing = std::move(read);
    levels.push_back(std::move(level));
    return true;
}

void FolderWalk::State::readAhead() {
    Level& level = levels.back();
    errno = 0;
    while (const dirent* entry = readdir(listing.get())) {
        if (!isDots(entry->d_name)) {
            level.ahead.append(1, typeOf(*entry)).append(entry->d_name).append(1, '\0');
        }
        errno = 0;
    }
    if (errno != 0) {
        report(level.pathLength, std::strerror(errno));
    }
    listing.reset();
}

void FolderWalk::State::enter() {
    // Reached relative to its folder, so that no path handed to the system grows with the depth.
    Descriptor opened(
        openat(descriptor(), entering.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    entering.clear();
    if (!opened) {
        report(path.size(), std::strerror(errno));
        return;
    }
    push(std::move(opened), path.size());
}

void FolderWalk::State::leave() {
    Descriptor up = std::move(levels.back().parent);
    if (!up && levels.size() > 1) {
        up.reset(openat(descriptor(), "..", kKnown));
    }
    listing.reset();
    folder.reset();
    levels.pop_back();
    // A level cut off from the root lists the rest of its names without a folder.
    if (levels.empty() || !levels.back().searchable) {
        return;
    }
    const Level& level = levels.back();
    folder = sameFolder(up.get(), level.device, level.inode) ? std::move(up) : reopen();
}

Descriptor FolderWalk::State::reopen() {
    Descriptor at = duplicate(root.get());
    for (size_t i = 0;; ++i) {
        Level& level = levels[i];
        if (!sameFolder(at.get(), level.device, level.inode)) {
            report(level.pathLength, at || errno == ENOENT || errno == ENOTDIR
                                         ? "moved or removed while it was searched"
                                         : std::strerror(errno));
            // Its names are known; what lies below the rest of them, or of any folder below it
            // on the way, is not.
            for (size_t j = i; j < levels.size(); ++j) {
                levels[j].searchable = false;
            }
            return Descriptor();
        }
        if (i + 1 == levels.size()) {
            return at;
        }
        const size_t start = level.pathLength + 1;
        const std::string name =
            fileNameFromUtf16(path.substr(start, levels[i + 1].pathLength - start));
        at.reset(openat(at.get(), name.c_str(), kKnown | O_NOFOLLOW));
    }
}

FolderWalk::FolderWalk(const WString& root, Unreadable unreadable)
    : state_(std::make_unique<State>()) {
    State& state = *state_;
    state.unreadable = std::move(unreadable);
    state.path = root == WString(1, u'/') ? WString() : root;
    Descriptor opened = openFolder(fileNameFromUtf16(root), O_RDONLY);
    if (!opened) {
        state.report(state.path.size(), std::strerror(errno));
        return;
    }
    state.root = duplicate(opened.get());
    state.push(std::move(opened), state.path.size());
}

FolderWalk::~FolderWalk() = default;

WString FolderWalk::path() const {
    return state_->path;
}

bool FolderWalk::next() {
    State& state = *state_;
    if (!state.entering.empty()) {
        state.enter();
    }
    while (!state.levels.empty()) {
        State::Level& level = state.levels.back();
        char type = 0;
        const char* name = nullptr;
        if (state.listing) {
            errno = 0;
            const dirent* entry = readdir(state.listing.get());
            if (entry == nullptr) {
                if (errno != 0) {
                    state.report(level.pathLength, std::strerror(errno));
                }
                state.leave();
                continue;
            }
            name = entry->d_name;
            if (isDots(name)) {
                continue;
            }
            type = typeOf(*entry);
        } else if (level.next < level.ahead.size()) {
            type = level.ahead[level.next];
            name = level.ahead.c_str() + level.next + 1;
            level.next += std::strlen(name) + 2;
        } else {
            state.leave();
            continue;
        }
        if (type == '?') {
            struct stat info {};
            if (fstatat(state.descriptor(), name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
                type = S_ISDIR(info.st_mode) ? kFolder : kOther;
            } else if (errno == ENOENT) {
                continue;  // gone since it was listed
            }
        }
        assignFromFileName(name_, name);
        state.path.resize(level.pathLength);
        state.path.append(1, u'/').append(name_);
        if (type == kFolder && level.searchable) {
            state.entering = name;
        }
        return true;
    }
    return false;
}

}  // namespace tarvel::platform
