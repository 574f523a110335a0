#include <cerrno>
#include <cstdio>
#include <cstring>

#include "../host_platform.h"

namespace tarvel::platform {

namespace {

bool writeTo(FILE* stream, const char* bytes, size_t size, WriteFailure* failure) {
    static const bool prepared = (prepareStandardStreams(), true);
    (void)prepared;
    errno = 0;
    const bool written = std::fwrite(bytes, 1, size, stream) == size && std::fflush(stream) == 0;
    if (!written) {
        const int error = errno != 0 ? errno : EIO;
        if (failure != nullptr) {
            failure->readerGone = noReaderAfter(error);
            failure->reason = std::strerror(error);
        }
        clearerr(stream);
    }
    return written;
}

}  // namespace

bool writeOut(const char* bytes, size_t size, WriteFailure* failure) {
    return writeTo(stdout, bytes, size, failure);
}

bool writeOut(const std::string& bytes, WriteFailure* failure) {
    return writeOut(bytes.data(), bytes.size(), failure);
}

void writeError(const std::string& bytes) {
    writeTo(stderr, bytes.data(), bytes.size(), nullptr);
}

}  // namespace tarvel::platform
