#include <cerrno>
#include <cstdio>
#include <cstring>

#include "../host_platform.h"

namespace tarvel::platform {

namespace {

bool writeTo(FILE* stream, const std::string& bytes, std::string* reason) {
    static const bool prepared = (prepareStandardStreams(), true);
    (void)prepared;
    errno = 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() &&
                         std::fflush(stream) == 0;
    if (!written) {
        if (reason != nullptr) {
            *reason = std::strerror(errno != 0 ? errno : EIO);
        }
        clearerr(stream);
    }
    return written;
}

}  // namespace

bool writeOut(const std::string& bytes, std::string* reason) {
    return writeTo(stdout, bytes, reason);
}

void writeError(const std::string& bytes) {
    writeTo(stderr, bytes, nullptr);
}

}  // namespace tarvel::platform
