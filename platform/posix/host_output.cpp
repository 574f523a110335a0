// Text on its way out: the bytes of a path or line, and what a failed write means.
#include "../host_platform.h"

#include <errno.h>

namespace tarvel::platform {

std::string textForOutput(const WString& text) {
    return fileNameFromUtf16(text);
}

char* putForOutput(char* to, const WCHAR* text, size_t length) {
    return putFileNameFromUtf16(to, text, length);
}

void prepareStandardStreams() {}

bool noReaderAfter(int error) {
    return error == EPIPE;
}

}  // namespace tarvel::platform
