// Text on its way out: the bytes of a path or line, written to standard output or error as
// they are.
#include "../host_platform.h"

#include <errno.h>
#include <unistd.h>

#include <cstring>

namespace tarvel::platform {

std::string textForOutput(const WString& text) {
    return fileNameFromUtf16(text);
}

char* putForOutput(char* to, const WCHAR* text, size_t length) {
    return putFileNameFromUtf16(to, text, length);
}

namespace {

bool writeTo(int stream, const char* bytes, size_t size, WriteFailure* failure) {
    while (size != 0) {
        const ssize_t written = ::write(stream, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            if (failure != nullptr) {
                failure->readerGone = error == EPIPE;
                failure->reason = std::strerror(error);
            }
            return false;
        }
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

}  // namespace

bool writeOut(const char* bytes, size_t size, WriteFailure* failure) {
    return writeTo(STDOUT_FILENO, bytes, size, failure);
}

void writeError(const std::string& bytes) {
    writeTo(STDERR_FILENO, bytes.data(), bytes.size(), nullptr);
}

}  // namespace tarvel::platform
