#include "../host_platform.h"

#include "win32_handles.h"

namespace tarvel::platform {

// One open search for each level of the walk; the item just seen is the last one found in the
// deepest folder. Every level's folder path is the start of the current item's path.
struct FolderWalk::State {
    struct Level {
        FindHandle search;
        size_t pathLength;
        WIN32_FIND_DATAW found;
        bool pending;  // found holds an item not yet seen
    };
    std::vector<Level> levels;
    Unreadable unreadable;
    WString path;  // the current item's path
    bool entering = false;

    // Opens the folder whose path path holds.
    void open() {
        Level level{FindHandle(), path.size(), {}, true};
        level.search.reset(FindFirstFileExW(extendedPath(childPath(path, L"*")).c_str(),
                                            FindExInfoBasic, &level.found, FindExSearchNameMatch,
                                            nullptr, 0));
        if (!level.search) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && unreadable) {
                unreadable(path, reasonOf(error));
            }
            return;
        }
        levels.push_back(std::move(level));
    }
};

FolderWalk::FolderWalk(const WString& root, Unreadable unreadable)
    : state_(std::make_unique<State>(State{{}, std::move(unreadable), root, false})) {
    state_->open();
}

FolderWalk::~FolderWalk() = default;

WString FolderWalk::path() const {
    return state_->path;
}

bool FolderWalk::next() {
    State& state = *state_;
    if (state.entering) {
        state.entering = false;
        state.open();
    }
    while (!state.levels.empty()) {
        State::Level& level = state.levels.back();
        if (!level.pending && !FindNextFileW(level.search.get(), &level.found)) {
            const DWORD error = GetLastError();
            if (error != ERROR_NO_MORE_FILES && state.unreadable) {
                state.unreadable(state.path.substr(0, level.pathLength), reasonOf(error));
            }
            state.levels.pop_back();
            continue;
        }
        level.pending = false;
        const wchar_t* name = level.found.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) {
            continue;
        }
        name_ = name;
        state.path.resize(level.pathLength);
        if (state.path.empty() || (state.path.back() != L'\\' && state.path.back() != L'/')) {
            state.path += L'\\';
        }
        state.path += name_;
        const DWORD attributes = level.found.dwFileAttributes;
        state.entering = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        return true;
    }
    return false;
}

}  // namespace tarvel::platform
