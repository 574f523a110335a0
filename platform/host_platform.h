// What a host program needs of the platform: its arguments, loading a module file, paths and
// folders, and writing text. The module itself uses none of this.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/unique_resource.h"
#include "common/utf.h"

namespace tarvel::platform {

// The program's arguments after the program name, as UTF-16. On POSIX systems bytes that are
// not UTF-8 come as the escapes of utf16FromFileName, so a name that is no text still names
// its file.
std::vector<WString> commandLineArguments(int argc, char** argv);
// The bytes to print for a path or line: UTF-8, escaped bytes restored; or written at to, which
// has room for kMostUtf8PerUnit bytes a unit, returning the end.
std::string textForOutput(const WString& text);
char* putForOutput(char* to, const WCHAR* text, size_t length);

// Whether the platform has a Windows Search service of its own to use by default.
bool hasRealSearchService();

// The module file built beside the running program.
WString defaultModulePath();

// The absolute form of a folder's path; empty when it is no folder, with why in problem: "no
// such folder", "not a folder", "name too long", or the system's reason.
WString absoluteFolder(const WString& path, std::string* problem = nullptr);

// The names of the files (not folders) directly in folder that an index holds, in no particular
// order, into names: on Windows not those hidden, system, temporary, offline or online only.
// False, with the system's reason, when the folder cannot be listed or its files not reached.
bool filesIn(const WString& folder, std::vector<WString>& names, std::string* reason);
// The path of the item name in folder.
WString childPath(const WString& folder, const WString& name);
// A folder as the file URL Windows Search's crawl scope takes ("file:///C:/Users/ann/",
// "file:///home/ann/"), and the folder a file URL names (slashes either way, a trailing one or
// not); false for what is no file URL.
WString folderUrl(const WString& folder);
bool folderOfUrl(const WString& url, WString& folder);
// Whether path is folder or lies below it; names compare without case where the system's do.
bool pathWithin(const WString& path, const WString& folder);
// Whether two paths name the same item as the system compares names.
bool samePath(const WString& a, const WString& b);

// The file version of a file from its version resource ("0.1.0.0"); empty where it has none.
std::string fileVersion(const WString& path);

// What the system's service control manager tells of a service.
struct ServiceStatus {
    bool queried = false;  // false: there is none to ask, or it refused; reason says which
    bool installed = false;
    bool running = false;
    bool disabled = false;
    std::string state;      // "running", "stopped", "starting", ...
    std::string startType;  // "automatic (delayed start)", "manual", "disabled", ...
    std::string reason;
};
ServiceStatus serviceStatus(const WString& name);

// A walk of every file and folder below a root (not the root itself, not following links),
// depth first in the order the system lists them, one item at a time, at any depth and path
// length, and nothing of the items it has passed. On POSIX systems it holds the root and one
// open folder whatever the depth (and the names still to come of each folder above it), on
// Windows one search for each level. A folder whose entries cannot be read or searched is
// reported to unreadable, with the system's reason, as the walk meets it; what can be listed of
// it still is. So is a folder that moved away while it was walked, below which nothing more can
// be reached.
class FolderWalk {
public:
    using Unreadable = std::function<void(const WString& folder, const std::string& reason)>;

    FolderWalk(const WString& root, Unreadable unreadable);
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;
    ~FolderWalk();

    // Moves to the next item; false when there is none left.
    bool next();
    // The item's name, and its path (made when asked).
    const WString& name() const { return name_; }
    WString path() const;

private:
    struct State;
    std::unique_ptr<State> state_;
    WString name_;
};

// Why a write failed: the system's reason, and whether no one reads the output any more (a
// pipe whose reader has ended, as `| head` does), which programs meet without a word.
struct WriteFailure {
    std::string reason;
    bool readerGone = false;
};
// Writes UTF-8 bytes to standard output or standard error as they are, straight to the system
// (no newline translation, nothing buffered). False, with what went wrong, when the bytes could
// not be written.
bool writeOut(const char* bytes, size_t size, WriteFailure* failure);
inline bool writeOut(const std::string& bytes, WriteFailure* failure = nullptr) {
    return writeOut(bytes.data(), bytes.size(), failure);
}
void writeError(const std::string& bytes);

// A loaded module file, unloaded when the holder ends or another is loaded in its place.
class ModuleLibrary {
public:
    // False with a reason when the file cannot be loaded. A bare name is a file in the current
    // folder, never one the loader finds elsewhere.
    bool load(const WString& path, std::string* reason);
    void* symbol(const char* name) const;

private:
    struct HandleTraits {
        using Handle = void*;
        static Handle empty() { return nullptr; }
        static void close(Handle module);  // FreeLibrary or dlclose
    };
    UniqueResource<HandleTraits> handle_;
};

}  // namespace tarvel::platform
