// Text on its way out: the bytes of a path or line, binary standard streams, and what a
// failed write means.
#include "../host_platform.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>

#include "platform_windows.h"

namespace tarvel::platform {

std::string textForOutput(const WString& text) {
    return utf8FromUtf16(text);
}

char* putForOutput(char* to, const WCHAR* text, size_t length) {
    return putUtf8FromUtf16(to, text, length);
}

bool noReaderAfter(int error) {
    // The C runtimes map only some of the pipe's errors to EPIPE.
    const DWORD system = GetLastError();
    return error == EPIPE || system == ERROR_BROKEN_PIPE || system == ERROR_NO_DATA ||
           system == ERROR_PIPE_NOT_CONNECTED;
}

void prepareStandardStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace tarvel::platform
