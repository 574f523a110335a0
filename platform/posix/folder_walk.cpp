#include "../host_platform.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "host_descriptors.h"

namespace tarvel::platform {

// The walk holds one open folder, the deepest, however deep it is. Going down, the rest of the
// folder it leaves is read ahead and the folder closed; coming back up, the folder is opened
// again as ".." of the one below and known by its device and inode, so that a folder moved
// away meanwhile is not taken for it. Every level's folder path is the start of the current
// item's path.
struct FolderWalk::State {
    struct Level {
        std::string ahead;  // the entries read ahead: a type, the name and a NUL each
        size_t next = 0;
        size_t pathLength = 0;
        dev_t device = 0;
        ino_t inode = 0;
        bool searchable = true;
    };
    std::vector<Level> levels;
    Unreadable unreadable;
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

bool FolderWalk::State::push(Descriptor opened, size_t pathLength) {
    struct stat info {};
    FolderListing read;
    if (fstat(opened.get(), &info) != 0 || !(read = listingOf(std::move(opened)))) {
        report(pathLength, std::strerror(errno));
        return false;
    }
    // The folder above is read ahead by now, or no longer open.
    if (listing) {
        readAhead();
    }
    folder.reset();
    Level level;
    level.pathLength = pathLength;
    level.device = info.st_dev;
    level.inode = info.st_ino;
    // A folder that can be listed but not searched: its names are known, nothing below them.
    level.searchable = faccessat(dirfd(read.get()), ".", X_OK, AT_EACCESS) == 0;
    if (!level.searchable) {
        report(pathLength, std::strerror(errno));
    }
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
    Descriptor up;
    if (levels.size() > 1) {
        up.reset(openat(descriptor(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    listing.reset();
    folder.reset();
    levels.pop_back();
    if (levels.empty()) {
        return;
    }
    Level& level = levels.back();
    const auto isLevel = [&level](const Descriptor& opened) {
        struct stat info {};
        return opened && fstat(opened.get(), &info) == 0 && info.st_dev == level.device &&
               info.st_ino == level.inode;
    };
    if (!isLevel(up)) {
        // The folder below moved, or could not be read on: the path may still name this one.
        const std::string bytes = fileNameFromUtf16(path.substr(0, level.pathLength));
        up.reset(open(bytes.empty() ? "/" : bytes.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (!isLevel(up)) {
        // Its names are known; what lies below the rest of them is not.
        report(level.pathLength, "moved or removed while it was searched");
        level.searchable = false;
        return;
    }
    folder = std::move(up);
}

FolderWalk::FolderWalk(const WString& root, Unreadable unreadable)
    : state_(std::make_unique<State>()) {
    State& state = *state_;
    state.unreadable = std::move(unreadable);
    state.path = root == WString(1, u'/') ? WString() : root;
    Descriptor opened(open(fileNameFromUtf16(root).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened) {
        state.report(state.path.size(), std::strerror(errno));
        return;
    }
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
