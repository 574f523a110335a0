// Module files: loading one, and its version.
#include "../host_platform.h"

#include <dlfcn.h>

namespace tarvel::platform {

std::string fileVersion(const WString&) {
    return std::string();
}

void ModuleLibrary::HandleTraits::close(Handle module) {
    dlclose(module);
}

bool ModuleLibrary::load(const WString& path, std::string* reason) {
    // A name without a slash would be looked for along the loader's search path.
    std::string file = fileNameFromUtf16(path);
    if (file.find('/') == std::string::npos) {
        file.insert(0, "./");
    }
    handle_.reset(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle_ && reason != nullptr) {
        const char* error = dlerror();
        *reason = error != nullptr ? error : "unknown error";
    }
    return static_cast<bool>(handle_);
}

void* ModuleLibrary::symbol(const char* name) const {
    return handle_ ? dlsym(handle_.get(), name) : nullptr;
}

}  // namespace tarvel::platform
