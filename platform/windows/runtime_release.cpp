// Linked into the module file only. The C++ runtime that MinGW-w64 links statically into the
// file keeps an emergency pool for exceptions, about 73 KB taken from the heap when the file is
// loaded and never given back: a host that loads and unloads the module again and again would
// lose it every time. It goes with the file's other static objects when the file is unloaded.
#include <cstddef>  // names the C++ runtime

#if defined(__GLIBCXX__)

namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace {

struct EmergencyPoolRelease {
    EmergencyPoolRelease() = default;
    EmergencyPoolRelease(const EmergencyPoolRelease&) = delete;
    EmergencyPoolRelease& operator=(const EmergencyPoolRelease&) = delete;
    ~EmergencyPoolRelease() { __gnu_cxx::__freeres(); }
} emergencyPoolRelease;

}  // namespace

#endif
