// UTF-8 and UTF-16 conversion for hosts, tests and the stand-in service. Ill-formed input
// (a lone surrogate, a bad UTF-8 sequence) becomes U+FFFD.
#pragma once

#include <string>

#include "../platform.h"

namespace tarvel {

using WString = std::basic_string<WCHAR>;

std::string utf8FromUtf16(const WCHAR* text, size_t length);
std::string utf8FromUtf16(const WString& text);
WString utf16FromUtf8(const std::string& text);

// File names, paths and arguments as a POSIX system has them: bytes that are not UTF-8 become
// lone surrogates U+DC80 to U+DCFF on the way in and the same bytes on the way out, so that a
// name that is no text still names its file.
WString utf16FromFileName(const std::string& bytes);
std::string fileNameFromUtf16(const WString& text);

}  // namespace tarvel
