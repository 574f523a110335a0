// Text on its way out: the bytes of a path or line, written to standard output or error with
// WriteFile, past the C runtime: nothing of a stream's is held while a write waits, so a console
// event that ends the program while a reader has stalled meets no lock held by a thread that
// was killed in a write.
#include "../host_platform.h"

#include "win32_handles.h"

namespace tarvel::platform {

std::string textForOutput(const WString& text) {
    return utf8FromUtf16(text);
}

char* putForOutput(char* to, const WCHAR* text, size_t length) {
    return putUtf8FromUtf16(to, text, length);
}

namespace {

bool writeTo(DWORD which, const char* bytes, size_t size, WriteFailure* failure) {
    const HANDLE stream = GetStdHandle(which);
    while (size != 0) {
        const DWORD part = size < 0x40000000 ? DWORD(size) : DWORD(0x40000000);
        DWORD written = 0;
        if (!WriteFile(stream, bytes, part, &written, nullptr) || written == 0) {
            const DWORD error = GetLastError();
            if (failure != nullptr) {
                failure->readerGone = error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA ||
                                      error == ERROR_PIPE_NOT_CONNECTED;
                failure->reason = reasonOf(error);
            }
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

}  // namespace

bool writeOut(const char* bytes, size_t size, WriteFailure* failure) {
    return writeTo(STD_OUTPUT_HANDLE, bytes, size, failure);
}

void writeError(const std::string& bytes) {
    writeTo(STD_ERROR_HANDLE, bytes.data(), bytes.size(), nullptr);
}

}  // namespace tarvel::platform
