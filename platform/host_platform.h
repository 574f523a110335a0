// What a host program needs of the platform: its arguments, loading a module file, paths and
// folders, and writing text. The module itself uses none of this.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/utf.h"

namespace tarvel::platform {

// The program's arguments after the program name, as UTF-16.
std::vector<WString> commandLineArguments(int argc, char** argv);

// Whether the platform has a Windows Search service of its own to use by default.
bool hasRealSearchService();

// The module file built beside the running program.
WString defaultModulePath();

// The absolute form of a folder's path; empty when it is no folder.
WString absoluteFolder(const WString& path);

// Every file and folder below root (not root itself, not following links), depth first.
void walkFolder(const WString& root,
                const std::function<void(const WString& path, const WString& name)>& visit);

// Writes UTF-8 bytes to standard output or standard error as they are, without any newline
// translation, and flushes.
void writeOut(const std::string& bytes);
void writeError(const std::string& bytes);

// A loaded module file, unloaded when the holder ends.
class ModuleLibrary {
public:
    ModuleLibrary() = default;
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;
    ~ModuleLibrary();

    // False with a reason when the file cannot be loaded.
    bool load(const WString& path, std::string* reason);
    void* symbol(const char* name) const;

private:
    void* handle_ = nullptr;
};

}  // namespace tarvel::platform
